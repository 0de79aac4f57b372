// Transports and control interface of the simulated devices. One thread waits in ppoll()
// for bytes, connections and the next deadline (reply pieces, end of a serial frame, the
// device's tick); nothing spins.
#include "emu/Server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

namespace vex::emu {

namespace {

int64_t NowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string SysErr(const std::string& what) { return what + ": " + std::strerror(errno); }

speed_t BaudConst(int baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    default:
      throw Exception("Unsupported bit rate " + std::to_string(baud));
  }
}

void NonBlock(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

constexpr int64_t kTickUs = 10000;  // the device's time-driven behaviour runs every 10 ms
constexpr size_t kMaxLine = 4096;

}  // namespace

EmuServer::EmuServer(std::unique_ptr<Device> device, ServerOptions options)
    : dev_(std::move(device)), opt_(std::move(options)), demo_(opt_.demo), rng_(opt_.seed) {
  if (opt_.serial) BaudConst(opt_.baud);
  if (opt_.parity != 'N' && opt_.parity != 'E' && opt_.parity != 'O')
    throw Exception(std::string("Parity must be N, E or O: ") + opt_.parity);
  if (opt_.dataBits != 7 && opt_.dataBits != 8) throw Exception("Data bits must be 7 or 8");
  if (opt_.stopBits != 1 && opt_.stopBits != 2) throw Exception("Stop bits must be 1 or 2");
  for (const std::string& f : opt_.faults) faults_.Add(ParseFault(f));
}

EmuServer::~EmuServer() { Stop(); }

void EmuServer::Log(const std::string& s) const {
  if (opt_.log) opt_.log(s);
}

int64_t EmuServer::CharUs() const { return 11000000LL / opt_.baud; }

// A frame ends after 3.5 characters of silence; above 19200 bit/s the fixed 1.75 ms of the
// Modbus serial line rules.
int64_t EmuServer::SilenceUs() const { return opt_.baud > 19200 ? 1750 : CharUs() * 7 / 2; }

int EmuServer::Listen(int port, const std::string& addr, int& bound) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) throw Exception(SysErr("socket"));
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, addr.c_str(), &sa.sin_addr) != 1) {
    close(fd);
    throw Exception("Invalid listening address \"" + addr + "\"");
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 || listen(fd, 8) < 0) {
    const std::string e = SysErr("Cannot listen on " + addr + ":" + std::to_string(port));
    close(fd);
    throw Exception(e);
  }
  socklen_t len = sizeof sa;
  getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
  bound = ntohs(sa.sin_port);
  return fd;
}

void EmuServer::OpenPty() {
  ptyMaster_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (ptyMaster_ < 0) throw Exception(SysErr("posix_openpt"));
  char name[128];
  if (grantpt(ptyMaster_) < 0 || unlockpt(ptyMaster_) < 0 || ptsname_r(ptyMaster_, name, sizeof name) != 0)
    throw Exception(SysErr("pseudo-terminal"));
  ptyPath_ = name;
  // Keep the slave side open ourselves: the master then never sees a hang-up when a
  // client closes the port, and the line settings stay readable.
  ptySlave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (ptySlave_ < 0) throw Exception(SysErr("open " + ptyPath_));
  termios t{};
  tcgetattr(ptySlave_, &t);
  cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= CLOCAL | CREAD | (opt_.dataBits == 7 ? CS7 : CS8);
  if (opt_.parity != 'N') t.c_cflag |= PARENB;
  if (opt_.parity == 'O') t.c_cflag |= PARODD;
  if (opt_.stopBits == 2) t.c_cflag |= CSTOPB;
  cfsetispeed(&t, BaudConst(opt_.baud));
  cfsetospeed(&t, BaudConst(opt_.baud));
  if (tcsetattr(ptySlave_, TCSANOW, &t) < 0) throw Exception(SysErr("tcsetattr " + ptyPath_));
  NonBlock(ptyMaster_);
}

// Both ends of a pseudo-terminal share one set of line settings: what the master program
// set on its side is what we read here. A master at another rate or framing gets no
// valid answer, as on a real line. The Linux pseudo-terminal keeps the rate, the stop bits
// and the odd-parity bit but always reports 8 data bits without parity enable, so even
// parity cannot be told from none there.
bool EmuServer::LineMatches() const {
  termios t{};
  if (tcgetattr(ptySlave_, &t) < 0) return true;
  if (cfgetospeed(&t) != BaudConst(opt_.baud)) return false;
  if (((t.c_cflag & PARODD) != 0) != (opt_.parity == 'O')) return false;
  return ((t.c_cflag & CSTOPB) != 0) == (opt_.stopBits == 2);
}

void EmuServer::Open() {
  if (running_) return;
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) < 0) throw Exception(SysErr("pipe"));
  try {
    if (opt_.tcpPort >= 0) tcpListen_ = Listen(opt_.tcpPort, opt_.bindAddr, tcpPort_);
    if (opt_.controlPort >= 0) ctlListen_ = Listen(opt_.controlPort, "127.0.0.1", controlPort_);
    if (opt_.serial) OpenPty();
  } catch (...) {
    CloseAll();
    throw;
  }
  stdinOpen_ = opt_.controlStdin;
  nextDemoUs_ = NowUs() + 200000;
  {
    // a device that reports its own network address reports the one it is listening on
    std::lock_guard<std::mutex> lock(dev_->Mutex());
    std::string reply;
    try {
      dev_->Control("address", opt_.bindAddr.empty() ? "0.0.0.0" : opt_.bindAddr, reply);
    } catch (const std::exception&) {
      // a listening name rather than an address: the device keeps its loopback address
    }
  }
  running_ = true;
}

void EmuServer::Start() {
  if (thread_.joinable()) return;
  Open();
  thread_ = std::thread([this] { Loop(); });
}

void EmuServer::Run() {
  if (!running_) Open();
  Loop();
}

void EmuServer::RequestStop() {
  running_ = false;
  if (wake_[1] >= 0) {
    const char c = 1;
    [[maybe_unused]] ssize_t n = write(wake_[1], &c, 1);
  }
}

void EmuServer::Stop() {
  RequestStop();
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard<std::mutex> lock(scnMtx_);
    scnStop_ = true;
  }
  scnCv_.notify_all();
  if (scenario_.joinable()) scenario_.join();
  CloseAll();
}

void EmuServer::CloseAll() {
  for (Client& c : clients_) close(c.fd);
  clients_.clear();
  out_.clear();
  for (int* fd : {&tcpListen_, &ctlListen_, &ptyMaster_, &ptySlave_, &wake_[0], &wake_[1]})
    if (*fd >= 0) close(*fd), *fd = -1;
}

void EmuServer::DropClient(int fd) {
  close(fd);
  clients_.erase(
      std::remove_if(clients_.begin(), clients_.end(), [fd](const Client& c) { return c.fd == fd; }),
      clients_.end());
  out_.erase(std::remove_if(out_.begin(), out_.end(), [fd](const Out& o) { return o.fd == fd; }), out_.end());
}

void EmuServer::Queue(int fd, const ReplyPlan& plan, bool paced, int64_t nowUs) {
  int64_t due = nowUs;
  for (const Piece& p : plan.pieces) {
    due += static_cast<int64_t>(p.pauseMs) * 1000;
    if (!p.bytes.empty()) out_.push_back(Out{fd, p.bytes, due, paced, 0, 0});
    // the next piece's pause counts from the end of this one on a paced line
    if (paced) due += static_cast<int64_t>(p.bytes.size()) * CharUs();
  }
}

// Writes what is due; on a paced line only as many bytes as the line could have carried.
void EmuServer::Flush(int64_t nowUs) {
  std::vector<int> busy;  // a connection writes its pieces in order
  for (auto it = out_.begin(); it != out_.end();) {
    Out& o = *it;
    if (std::find(busy.begin(), busy.end(), o.fd) != busy.end() || nowUs < o.dueUs) {
      busy.push_back(o.fd);
      ++it;
      continue;
    }
    if (o.startUs == 0) o.startUs = nowUs;
    size_t allowed = o.data.size();
    if (o.paced) allowed = std::min(allowed, static_cast<size_t>((nowUs - o.startUs) / CharUs() + 1));
    bool lost = false;
    if (allowed > o.sent) {
      const ssize_t n = write(o.fd, o.data.data() + o.sent, allowed - o.sent);
      if (n > 0) {
        o.sent += static_cast<size_t>(n);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        lost = true;  // the peer is gone
      } else if (n < 0 && o.fd == ptyMaster_) {
        lost = true;  // nobody reads the line: the bytes fall on the floor
        Log("serial reply lost: nobody reads the line");
      }
    }
    if (lost || o.sent >= o.data.size()) {
      it = out_.erase(it);
      continue;
    }
    // on a paced line the next byte goes at its character time; a full buffer is tried again
    // a little later (10 ms for a socket whose reader lags)
    if (o.paced && o.sent == allowed)
      o.dueUs = o.startUs + static_cast<int64_t>(o.sent) * CharUs();
    else
      o.dueUs = nowUs + (o.paced ? CharUs() : 10000);
    busy.push_back(o.fd);
    ++it;
  }
}

void EmuServer::OnPtyReadable(int64_t nowUs) {
  char buf[512];
  for (;;) {
    const ssize_t n = read(ptyMaster_, buf, sizeof buf);
    if (n <= 0) break;
    rtuIn_.append(buf, static_cast<size_t>(n));
    rtuLastUs_ = nowUs;
  }
  if (rtuIn_.size() > 512) rtuIn_.erase(0, rtuIn_.size() - 512);  // line noise
}

void EmuServer::OnRtuFrame() {
  const ByteStr frame = std::move(rtuIn_);
  rtuIn_.clear();
  if (!LineMatches()) {
    Log("serial frame ignored: line settings differ from the device's");
    return;
  }
  const ReplyPlan plan = HandleRtuFrame(*dev_, faults_, frame);
  Queue(ptyMaster_, plan, opt_.pace, NowUs());
}

void EmuServer::OnTcpData(Client& c) {
  while (c.in.size() >= 6) {
    const size_t len = static_cast<uint8_t>(c.in[4]) << 8 | static_cast<uint8_t>(c.in[5]);
    if (len < 2 || len > 254) {  // not Modbus TCP: give up on this connection
      DropClient(c.fd);
      return;
    }
    if (c.in.size() < 6 + len) return;
    const ByteStr frame = c.in.substr(0, 6 + len);
    c.in.erase(0, 6 + len);
    const ReplyPlan plan = HandleTcpFrame(*dev_, faults_, frame, opt_.units);
    if (plan.dropConnection) {
      DropClient(c.fd);
      return;
    }
    Queue(c.fd, plan, false, NowUs());
  }
}

void EmuServer::OnControlData(Client& c) {
  size_t nl;
  while ((nl = c.in.find('\n')) != std::string::npos) {
    std::string line = c.in.substr(0, nl);
    c.in.erase(0, nl + 1);
    const std::string reply = Execute(line) + "\n";
    [[maybe_unused]] ssize_t n = write(c.fd, reply.data(), reply.size());
  }
  if (c.in.size() > kMaxLine) DropClient(c.fd);
}

void EmuServer::Loop() {
  int64_t nextTick = NowUs();
  while (running_) {
    std::vector<pollfd> fds;
    fds.push_back({wake_[0], POLLIN, 0});
    if (tcpListen_ >= 0) fds.push_back({tcpListen_, POLLIN, 0});
    if (ctlListen_ >= 0) fds.push_back({ctlListen_, POLLIN, 0});
    if (ptyMaster_ >= 0) fds.push_back({ptyMaster_, POLLIN, 0});
    if (stdinOpen_) fds.push_back({0, POLLIN, 0});
    for (const Client& c : clients_) fds.push_back({c.fd, POLLIN, 0});

    int64_t now = NowUs();
    int64_t deadline = nextTick;
    if (!rtuIn_.empty()) deadline = std::min(deadline, rtuLastUs_ + SilenceUs());
    std::vector<int> first;  // only the head of each connection's queue can be written
    for (const Out& o : out_) {
      if (std::find(first.begin(), first.end(), o.fd) != first.end()) continue;
      first.push_back(o.fd);
      deadline = std::min(deadline, o.dueUs);
    }
    if (demo_) deadline = std::min(deadline, nextDemoUs_);
    const int64_t waitUs = std::max<int64_t>(0, deadline - now);
    timespec ts{static_cast<time_t>(waitUs / 1000000), static_cast<long>(waitUs % 1000000 * 1000)};
    const int rc = ppoll(fds.data(), fds.size(), &ts, nullptr);
    if (rc < 0 && errno != EINTR) break;
    now = NowUs();

    for (const pollfd& p : fds) {
      if (!p.revents) continue;
      if (p.fd == wake_[0]) {
        char b[64];
        while (read(wake_[0], b, sizeof b) > 0) {
        }
      } else if (p.fd == tcpListen_ || p.fd == ctlListen_) {
        const int fd = accept4(p.fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) {
          const int one = 1;
          setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
          clients_.push_back(Client{fd, {}, p.fd == ctlListen_});
        }
      } else if (p.fd == ptyMaster_) {
        OnPtyReadable(now);
      } else if (p.fd == 0) {
        char b[512];
        const ssize_t n = read(0, b, sizeof b);
        if (n <= 0) {
          stdinOpen_ = false;
          continue;
        }
        stdinBuf_.append(b, static_cast<size_t>(n));
        size_t nl;
        while ((nl = stdinBuf_.find('\n')) != std::string::npos) {
          const std::string line = stdinBuf_.substr(0, nl);
          stdinBuf_.erase(0, nl + 1);
          const std::string reply = Execute(line) + "\n";
          [[maybe_unused]] ssize_t w = write(1, reply.data(), reply.size());
        }
      } else {
        auto it =
            std::find_if(clients_.begin(), clients_.end(), [&](const Client& c) { return c.fd == p.fd; });
        if (it == clients_.end()) continue;
        char b[1024];
        const ssize_t n = read(p.fd, b, sizeof b);
        if (n <= 0) {
          if (n == 0 || (errno != EAGAIN && errno != EINTR)) DropClient(p.fd);
          continue;
        }
        it->in.append(b, static_cast<size_t>(n));
        if (it->control)
          OnControlData(*it);
        else
          OnTcpData(*it);
      }
    }
    if (!rtuIn_.empty() && now - rtuLastUs_ >= SilenceUs()) OnRtuFrame();
    if (now >= nextTick) {
      std::lock_guard<std::mutex> lock(dev_->Mutex());
      dev_->Tick(now / 1000);
      nextTick = now + kTickUs;
    }
    if (demo_ && now >= nextDemoUs_) {
      std::lock_guard<std::mutex> lock(dev_->Mutex());
      const int inputs = dev_->Info().inputs;
      if (inputs > 0) {
        const int n = std::uniform_int_distribution<int>(1, inputs)(rng_);
        dev_->SetInput(n, !dev_->Input(n));
      }
      nextDemoUs_ = now + std::uniform_int_distribution<int64_t>(500000, 2500000)(rng_);
    }
    Flush(NowUs());
  }
}

// ---- control ----

std::string EmuServer::Control(const std::string& line) {
  const std::string r = Execute(line);
  if (running_ && wake_[1] >= 0) {  // let the loop re-read its deadlines (demo switched on ...)
    const char c = 1;
    [[maybe_unused]] ssize_t n = write(wake_[1], &c, 1);
  }
  return r;
}

std::string EmuServer::Execute(const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  std::istringstream in(line);
  std::string cmd;
  in >> cmd;
  std::string rest;
  std::getline(in, rest);
  rest.erase(0, rest.find_first_not_of(' ') == std::string::npos ? rest.size() : rest.find_first_not_of(' '));
  try {
    if (cmd.empty() || cmd[0] == '#') return "ok";
    if (cmd == "help")
      return "ok commands: set N|all, clear N|all, toggle N, inputs, key reset|horn|test|ack|untest|N, "
             "fault <kind> [fn= nth= every= times= ms= at= code= bytes=], faults, faults clear, "
             "restart, state, demo on|off, run FILE, quit; rack RTU: address A.B.C.D, errors NAME=V "
             "...|clear, "
             "system N, irig N, socket N state= remote= trn= port= ident= operator= protocol= count= errors=";
    std::lock_guard<std::mutex> lock(dev_->Mutex());
    Device& d = *dev_;
    auto input = [&](const std::string& s) {
      int64_t n = 0;
      if (!TryStrToInt(s, n) || n < 1 || n > d.Info().inputs)
        throw Exception("Input out of range [1.." + std::to_string(d.Info().inputs) + "]: " + s);
      return static_cast<int>(n);
    };
    if (cmd == "set" || cmd == "clear") {
      if (rest == "all") {
        for (int n = 1; n <= d.Info().inputs; ++n) d.SetInput(n, cmd == "set");
      } else {
        d.SetInput(input(rest), cmd == "set");
      }
      return "ok";
    }
    if (cmd == "toggle") {
      const int n = input(rest);
      d.SetInput(n, !d.Input(n));
      return "ok";
    }
    if (cmd == "inputs") {
      std::string s = "ok";
      for (int n = 1; n <= d.Info().inputs; ++n)
        if (d.Input(n)) s += " " + std::to_string(n);
      return s;
    }
    if (cmd == "key") {
      const bool first = d.Info().model == Model::Vex215;
      static const std::pair<const char*, int> keys[] = {
          {"reset", 1}, {"horn", 2}, {"test", 3}, {"ack", 4}, {"untest", 5}};
      int code = -1;
      for (const auto& [name, k] : keys)
        if (rest == name) code = first ? 0x11 * k : 0x80 + k;
      if (code < 0) code = input(rest);
      const uint16_t zero = 0, word = static_cast<uint16_t>(code);
      d.WriteRegs(Space::Holding, 15, 1, &zero);
      if (int r = d.WriteRegs(Space::Holding, 15, 1, &word)) return "error: exception " + std::to_string(r);
      return "ok";
    }
    if (cmd == "fault") {
      if (rest == "clear") {
        faults_.Clear();
        return "ok";
      }
      faults_.Add(ParseFault(rest));
      return "ok";
    }
    if (cmd == "faults") {
      if (rest == "clear") {
        faults_.Clear();
        return "ok";
      }
      std::string s = "ok";
      for (const Fault& f : faults_.List()) s += " [" + FaultText(f) + "]";
      return s;
    }
    if (cmd == "restart") {
      d.Restart();
      return "ok";
    }
    if (cmd == "state") {
      static const char* cfg[] = {"?", "Good", "Saved", "?", "Edited"};
      return "ok model=" + d.Info().key + " boot=" + std::to_string(d.BootState()) + " app=$" +
             IntToHex(d.AppId(), 4) + " config=" + cfg[std::min<int>(d.CfgState(), 4)] +
             " slave=" + std::to_string(d.Cfg(14));
    }
    if (cmd == "demo") {
      if (rest != "on" && rest != "off") throw Exception("demo on|off");
      demo_ = rest == "on";
      return "ok";
    }
    if (cmd == "run") {
      if (rest.empty()) throw Exception("Scenario file name missing");
      RunScenario(rest);
      return "ok";
    }
    if (cmd == "wait") throw Exception("\"wait\" belongs in a scenario file");
    if (cmd == "quit") {
      running_ = false;
      return "ok";
    }
    if (std::string reply; d.Control(cmd, rest, reply)) return reply;
    throw Exception("Unknown command \"" + cmd + "\" (try help)");
  } catch (const std::exception& e) {
    return std::string("error: ") + e.what();
  }
}

void EmuServer::RunScenario(const std::string& path) {
  std::ifstream f(path);
  if (!f) throw Exception("Cannot open scenario \"" + path + "\"");
  std::vector<std::string> lines;
  for (std::string l; std::getline(f, l);) lines.push_back(l);
  if (scenarioBusy_) throw Exception("A scenario is already running");
  if (scenario_.joinable()) scenario_.join();
  scenarioBusy_ = true;
  scenario_ = std::thread([this, lines, path] {
    int no = 0;
    for (const std::string& l : lines) {
      ++no;
      std::istringstream in(l);
      std::string cmd;
      in >> cmd;
      if (cmd == "wait") {
        int64_t ms = 0;
        std::string arg;
        in >> arg;
        if (!TryStrToInt(arg, ms) || ms < 0) {
          Log(path + ":" + std::to_string(no) + ": wait needs milliseconds");
          break;
        }
        std::unique_lock<std::mutex> lock(scnMtx_);
        if (scnCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return scnStop_; })) break;
        continue;
      }
      const std::string r = Execute(l);
      if (r.rfind("error", 0) == 0) {
        Log(path + ":" + std::to_string(no) + ": " + r);
        break;
      }
    }
    scenarioBusy_ = false;
  });
}

}  // namespace vex::emu
