// Runs a simulated device on its transports (Modbus TCP server, serial line on a
// pseudo-terminal) and its control interface, event-driven on one thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "emu/Device.h"
#include "emu/Slave.h"

namespace vex::emu {

struct ServerOptions {
  int tcpPort = -1;                    // -1 no TCP server, 0 any free port
  std::string bindAddr = "127.0.0.1";  // TCP listening address
  std::vector<int> units;              // TCP unit identifiers answered (empty = every unit)
  bool serial = false;                 // serve Modbus RTU on a pseudo-terminal
  int baud = 57600;                    // line settings of the device
  char parity = 'N';                   // 'N', 'E' or 'O'
  int dataBits = 8;
  int stopBits = 1;
  bool pace = false;                            // send replies at line speed (11 bit times per byte)
  int controlPort = -1;                         // -1 none, 0 any free port (loopback only)
  bool controlStdin = false;                    // read control commands from standard input
  bool demo = false;                            // random field activity
  unsigned seed = 1;                            // random source of the demo
  std::vector<std::string> faults;              // initial faults (text form of ParseFault)
  std::function<void(const std::string&)> log;  // diagnostic lines (may be empty)
};

class EmuServer {
 public:
  EmuServer(std::unique_ptr<Device> device, ServerOptions options);
  ~EmuServer();
  EmuServer(const EmuServer&) = delete;
  EmuServer& operator=(const EmuServer&) = delete;

  // Opens the transports and starts serving on a thread of its own. Throws vex::Exception.
  void Start();
  // Opens the transports (ports and pseudo-terminal are known afterwards); Run() then
  // serves on the calling thread until RequestStop() (signal handler) or "quit".
  void Open();
  void Run();
  void Stop();
  void RequestStop();  // async-signal-safe

  int TcpPort() const { return tcpPort_; }
  int ControlPort() const { return controlPort_; }
  const std::string& PtyPath() const { return ptyPath_; }
  Device& Dev() { return *dev_; }

  // One control command ("help" lists them); returns the reply text, never throws.
  std::string Control(const std::string& line);
  // Runs a scenario file (control commands, "wait <ms>") on a worker; returns at once.
  void RunScenario(const std::string& path);
  bool ScenarioRunning() const { return scenarioBusy_; }

 private:
  struct Client {
    int fd;
    ByteStr in;
    bool control;
  };
  struct Out {
    int fd;
    ByteStr data;
    int64_t dueUs;  // not before
    bool paced;
    size_t sent = 0;
    int64_t startUs = 0;
  };

  void Loop();
  void CloseAll();
  void OpenPty();
  int Listen(int port, const std::string& addr, int& bound);
  void OnPtyReadable(int64_t nowUs);
  void OnRtuFrame();
  void OnTcpData(Client& c);
  void OnControlData(Client& c);
  void Queue(int fd, const ReplyPlan& plan, bool paced, int64_t nowUs);
  void Flush(int64_t nowUs);
  void DropClient(int fd);
  bool LineMatches() const;
  void Log(const std::string& s) const;
  int64_t CharUs() const;
  int64_t SilenceUs() const;
  std::string Execute(const std::string& line);

  std::unique_ptr<Device> dev_;
  ServerOptions opt_;
  FaultPlan faults_;  // guarded by the device's mutex
  std::thread thread_;
  std::atomic<bool> running_{false};
  int wake_[2] = {-1, -1};
  int tcpListen_ = -1, ctlListen_ = -1, ptyMaster_ = -1, ptySlave_ = -1;
  int tcpPort_ = -1, controlPort_ = -1;
  std::string ptyPath_;
  std::vector<Client> clients_;
  std::deque<Out> out_;
  ByteStr rtuIn_;
  int64_t rtuLastUs_ = 0;
  bool stdinOpen_ = false;
  ByteStr stdinBuf_;
  std::atomic<bool> demo_{false};
  std::mt19937 rng_;
  int64_t nextDemoUs_ = 0;

  // scenario worker
  std::thread scenario_;
  std::mutex scnMtx_;
  std::condition_variable scnCv_;
  bool scnStop_ = false;
  std::atomic<bool> scenarioBusy_{false};
};

}  // namespace vex::emu
