// Link settings of the hub: the two settings pages, their file, the port list, opening and
// closing the link ("Connect Port"), the socket events, the status bar and clock texts, and
// the manual requests of the diagnostics pages.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "comm/LinkIni.h"
#include "comm/Ports.h"

namespace vex {

namespace {

// A drop-down position read from the file; a position outside the list gives the default.
int Position(const TIniValues& v, const char* key, int count, int def) {
  const auto it = v.find(key);
  int64_t n = 0;
  if (it == v.end() || !TryStrToInt(it->second, n) || n < 0 || n >= count) return def;
  return static_cast<int>(n);
}

}  // namespace

// An edit field of the window as the range-limited conversions see it: a refused value moves the
// focus to the field's edit.
int TPorts1::EditInt(const std::string& text, const char* caption, int mn, int mx) {
  TextField f(text, caption, &FieldFocus);
  return static_cast<int>(LbEdttoInt(f, mn, mx));
}

// ---- settings pages ------------------------------------------------------------

void TPorts1::ComboBox2Change(int pos) {
  if (pos < 0 || pos >= static_cast<int>(std::size(cBaud))) throw Exception("Baud: invalid position");
  ComboBox2 = pos;
}

// ---- settings file -----------------------------------------------------------

namespace {

// Keys of the settings that are plain texts, with the member they live in.
struct TextKey {
  const char* key;
  std::string TPorts1::*field;
};
constexpr TextKey cTextKeys[] = {
    {"ComboBox1", &TPorts1::ComboBox1},         {"LabeledEdit1", &TPorts1::LabeledEdit1},
    {"LabeledEdit10", &TPorts1::LabeledEdit10}, {"LabeledEdit11", &TPorts1::LabeledEdit11},
    {"LabeledEdit20", &TPorts1::LabeledEdit20}, {"LabeledEdit21", &TPorts1::LabeledEdit21},
    {"LabeledEdit30", &TPorts1::LabeledEdit30}, {"LabeledEdit31", &TPorts1::LabeledEdit31},
    {"LabeledEdit32", &TPorts1::LabeledEdit32}, {"LabeledEdit33", &TPorts1::LabeledEdit33},
    {"LabeledEdit34", &TPorts1::LabeledEdit34},
};

// Keys of the test groups' two fields.
struct GroupKey {
  const char* first;
  const char* second;
  TTestGroup group;
};
constexpr GroupKey cGroupKeys[] = {
    {"LabeledEdit101", "LabeledEdit102", TTestGroup::WriteMulti},
    {"LabeledEdit201", "LabeledEdit202", TTestGroup::Coils},
    {"LabeledEdit301", "LabeledEdit302", TTestGroup::Registers},
    {"LabeledEdit501", "LabeledEdit502", TTestGroup::WriteCoil},
    {"LabeledEdit601", "LabeledEdit602", TTestGroup::WriteReg},
    {"LabeledEdit801", "LabeledEdit802", TTestGroup::Echo},
};

constexpr const char* cSection = "Ports1";

}  // namespace

void TPorts1::LoadSettings() {
  TIniValues v;
  ReadIniSection(IniPath, cSection, v);
  auto get = [&](const char* key, const std::string& def) {
    const auto it = v.find(key);
    return it == v.end() ? def : it->second;
  };
  for (const auto& k : cTextKeys) this->*k.field = get(k.key, this->*k.field);
  ComboBox2 = Position(v, "ComboBox2", static_cast<int>(std::size(cBaud)), 4);
  ComboBox3 = Position(v, "ComboBox3", static_cast<int>(std::size(cParity)), 0);
  for (const auto& g : cGroupKeys) {
    Group(g.group).First = get(g.first, "");
    Group(g.group).Second = get(g.second, "");
  }
  auto flag = [&](const char* key, bool def) {
    int64_t b = 0;
    const std::string cb = get(key, def ? "1" : "0");
    return TryStrToInt(cb, b) ? b != 0 : (cb == "true" || cb == "True" || cb == "TRUE");
  };
  CheckBox4 = flag("CheckBox4", false);
  CheckBox5 = flag("CheckBox5", true);
  CheckBox6 = flag("CheckBox6", false);
  CheckBox7 = flag("CheckBox7", false);
}

void TPorts1::SaveSettings() const {
  std::vector<std::pair<std::string, std::string>> v;
  for (const auto& k : cTextKeys) v.emplace_back(k.key, this->*k.field);
  v.emplace_back("ComboBox2", std::to_string(ComboBox2));
  v.emplace_back("ComboBox3", std::to_string(ComboBox3));
  for (const auto& g : cGroupKeys) {
    v.emplace_back(g.first, Group(g.group).First);
    v.emplace_back(g.second, Group(g.group).Second);
  }
  v.emplace_back("CheckBox4", CheckBox4 ? "1" : "0");
  v.emplace_back("CheckBox5", CheckBox5 ? "1" : "0");
  v.emplace_back("CheckBox6", CheckBox6 ? "1" : "0");
  v.emplace_back("CheckBox7", CheckBox7 ? "1" : "0");
  v.emplace_back("Main1", MainRecord);
  WriteIniSection(IniPath, cSection, v);
}

// ---- port list -----------------------------------------------------------------

void TPorts1::ComboBox1DropDown() {
  Mesaj("Searcing COM ports");
  PortItems = FixedPorts.empty() ? ListUsbSerialPorts(PortRoots) : FixedPorts;
  for (const auto& p : SimulatedPorts)
    if (std::find(PortItems.begin(), PortItems.end(), p) == PortItems.end()) PortItems.push_back(p);
  if (PortItems.empty()) {
    PortItems = FallbackPorts(PortRoots);
    throw Exception(cNoPortsMsg);
  }
}

// ---- opening and closing -----------------------------------------------------

bool TPorts1::ConnectPortChecked() const { return CheckBox1; }

void TPorts1::SetConnectPort(bool on) {
  if (on == CheckBox1) return;
  CheckBox1 = on;
  if (!on) {
    CloseLink();
    return;
  }
  if (NetworkActive())
    OpenNetwork();
  else
    OpenSerial();
}

void TPorts1::OpenSerial() {
  ComBsy = false;
  Error("");
  DevNam = ComboBox1;
  try {
    if (ComboBox2 < 0 || ComboBox2 >= static_cast<int>(std::size(cBaud)) || ComboBox3 < 0 ||
        ComboBox3 >= static_cast<int>(std::size(cParity)))
      throw Exception("Invalid line settings");
    Comm1.Device = ComboBox1.size() < 5 ? ComboBox1 : "\\\\.\\" + ComboBox1;
    Comm1.Baudrate = cBaud[ComboBox2];
    Comm1.Parity = cParity[ComboBox3];
    Comm1.Databits = cData[ComboBox3];
    Comm1.Stopbits = cStop[ComboBox3];
    ComNod = EditInt(LabeledEdit1, "Node ID:", 0, 255);
    ComTmo = EditInt(TimeoutEdit(), "Timeout (ms):", 1, 50);
    ComBln = EditInt(BlindEdit(), "Blind (ms):", 1, 500);
    ComFai = true;
    Comm1.Rs485Rts = CheckBox7;
    Comm1.Open();
    SetText(TConsoleText::Status, ComText());
    Log(ComText2());
    SettingsEnabled = false;
    ComFai = false;
    if (CheckBox7 && !Comm1.Rs485Active) Log(cNoRs485Msg);
    // a USB adapter that holds its input back for more than a millisecond slows every reply
    const std::string path = platform::SerialDevicePath(Comm1.Device);
    const int latency = UsbLatencyTimer(path, PortRoots);
    if (latency > 1) Mesaj(LatencyNote(path, latency, PortRoots));
  } catch (const std::exception& e) {
    // a port left half open by a failed setup is closed again with the box
    Comm1.Close();
    CheckBox1 = false;
    SettingsEnabled = true;
    throw Exception("Error " + DevNam + " : " + e.what());
  }
}

void TPorts1::OpenNetwork() {
  ComBsy = false;
  Error("");
  try {
    TextField ip(LabeledEdit30, "Target IP:", &FieldFocus);
    LabeledEdit30 = InttoIPform(LbEdttoIpform(ip));
    const int port = EditInt(LabeledEdit31, "Target Port:", 1, 65535);
    ComNod = EditInt(LabeledEdit32, "Node ID:", 1, 31);
    ComTmo = EditInt(LabeledEdit33, "Timeout (ms):", 1, 500);
    ComBln = EditInt(LabeledEdit34, "Blind (ms):", 1, 5000);
    DevNam = LabeledEdit30 + ":" + std::to_string(port);
    ClientSocket1.Address = LabeledEdit30;
    ClientSocket1.Port = port;
    ClientSocket1.OnConnect = [this] { ClientSocket1Connect(); };
    ClientSocket1.OnDisconnect = [this] { ClientSocket1Disconnect(); };
    ClientSocket1.OnError = [this](const std::string& kind, int& code) { ClientSocket1Error(kind, code); };
    Mesaj("Socket Connecting");
    SettingsEnabled = false;
    NetOpn = false;
    ClientSocket1.Open();
    const auto start = platform::Now();
    const auto end = platform::AfterMs(start, ConnectWaitMs);
    while (!NetOpn && CheckBox1) {
      const auto now = platform::Now();
      if (now > end) throw Exception("Timeout Occured");
      if (ProcessMessages) ProcessMessages();
      // wake at least every 50 ms so a cleared box or the GUI is noticed
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
      ClientSocket1.Poll(static_cast<int>(std::min<int64_t>(50, left + 1)));
    }
  } catch (...) {
    if (!NetOpn) {
      ClientSocket1.OnDisconnect = nullptr;
      ClientSocket1.Close();
      CheckBox1 = false;
      SettingsEnabled = true;
    }
    throw;
  }
  if (!NetOpn) {
    ClientSocket1.Close();
    CheckBox1 = false;
    SettingsEnabled = true;
  }
}

void TPorts1::CloseLink() {
  CheckBox1 = false;
  if (NetworkActive()) {
    SettingsEnabled = true;
    ClientSocket1.OnDisconnect = nullptr;  // closing on purpose is not a dropped link
    ClientSocket1.Close();
    NetOpn = false;
    Comm1.Close();
    Mesaj("Socket Closed");  // after the close, so that the status describes the closed link
    return;
  }
  Comm1.Close();
  if (ClientSocket1.Active() || ClientSocket1.Connecting()) {
    ClientSocket1.OnDisconnect = nullptr;
    ClientSocket1.Close();
    NetOpn = false;
  }
  SetText(TConsoleText::Status, ComText());
  Log(ComText2());
  SettingsEnabled = true;
  for (int i = 0; i < 3; ++i)
    if (ProcessMessages) ProcessMessages();
}

// ---- socket events -----------------------------------------------------------

void TPorts1::ClientSocket1Connect() {
  NetOpn = true;
  Mesaj("Socket Connected.");
}

void TPorts1::ClientSocket1Disconnect() {
  NetOpn = false;
  Mesaj("Socket Disconnected.");
  if (CheckBox1) {
    CheckBox1 = false;
    SettingsEnabled = true;
  }
}

void TPorts1::ClientSocket1Error(const std::string& kind, int code) {
  Mesaj("Error:(" + kind + ") " + std::to_string(code));
  NetOpn = false;
  CheckBox1 = false;
  SettingsEnabled = true;
}

// ---- status bar and clock texts ---------------------------------------------

TPorts1::TStatBar TPorts1::StatBar() const { return {ComText2(), !Text(TConsoleText::LastError).empty()}; }

TPorts1::TElapsed TPorts1::TimeElapsed(TDateTime t, TDateTime b, TDateTime te) {
  const double diff = std::fabs(t - b);
  TElapsed r;
  r.Text = "Read=" + FormatDateTime("dd/mm/yy hh:nn:ss.zzz", t) +
           " Elapsed=" + FormatDateTime("hh:nn:ss.zzz", b - te) +
           " Difference=" + FormatDateTime("hh:nn:ss.zzz", diff) + " [" + (t > b ? "+++" : "---") + "]";
  const double ms = diff * 86400000.0;
  if (ms < 10)
    r.Color = RGB(208, 255, 208);
  else if (ms < 100)
    r.Color = clBtnFace;
  else
    r.Color = RGB(255, 208, 208);
  return r;
}

TPorts1::TElapsed TPorts1::TimeElapsed(uint32_t dt, uint32_t dd, TDateTime b, TDateTime te) {
  return TimeElapsed(cBase2000 + dd + dt / 86400000.0, b, te);
}

// ---- manual requests -----------------------------------------------------------

template <class F>
void TPorts1::ManualRequest(TTestGroup g, bool reopen, F&& body) {
  const bool was = ConnectPortChecked();
  if (IsBusy) {
    if (IsBusy()) return;
  } else {
    if (ComBsy) return;
    if (!was) SetConnectPort(true);
  }
  SetGroupField(g, TGroupField::Query, "");
  SetGroupField(g, TGroupField::Result, "");
  try {
    body();
  } catch (...) {
    if (!was) SetConnectPort(false);
    throw;
  }
  if (!was)
    SetConnectPort(false);
  else if (reopen)
    SetConnectPort(true);
}

void TPorts1::SendQuery01() {
  ManualRequest(TTestGroup::Coils, true, [this] {
    auto& g = Group(TTestGroup::Coils);
    const int a = EditInt(g.First, "Starting Address:", 0, 65535);
    const int c = EditInt(g.Second, "Quantity of Inputs:", 1, 512);
    std::vector<uint8_t> v((c + 7) / 8);
    ModReadCoils(static_cast<uint16_t>(a), static_cast<uint16_t>(c), v.data(), true);
  });
}

void TPorts1::SendQuery02() {
  ManualRequest(TTestGroup::Coils, false, [this] {
    auto& g = Group(TTestGroup::Coils);
    const int a = EditInt(g.First, "Starting Address:", 0, 65535);
    const int c = EditInt(g.Second, "Quantity of Inputs:", 1, 512);
    std::vector<uint8_t> v((c + 7) / 8);
    ModReadInputs(static_cast<uint16_t>(a), static_cast<uint16_t>(c), v.data(), true);
  });
}

void TPorts1::SendQuery03() {
  ManualRequest(TTestGroup::Registers, true, [this] {
    auto& g = Group(TTestGroup::Registers);
    const int a = EditInt(g.First, "Starting Address:", 0, 65535);
    const int c = EditInt(g.Second, "Quantity of Registers:", 0, 123);
    std::vector<uint16_t> v(c > 0 ? c : 1);
    ModReadMulti(a, c, v.data(), true);
  });
}

void TPorts1::SendQuery04() {
  ManualRequest(TTestGroup::Registers, true, [this] {
    auto& g = Group(TTestGroup::Registers);
    const int a = EditInt(g.First, "Starting Address:", 0, 65535);
    const int c = EditInt(g.Second, "Quantity of Registers:", 0, 123);
    std::vector<uint16_t> v(c > 0 ? c : 1);
    ModReadMulti0x04(a, c, v.data(), true);
  });
}

void TPorts1::SendQuery05() {
  ManualRequest(TTestGroup::WriteCoil, true, [this] {
    auto& g = Group(TTestGroup::WriteCoil);
    const int a = EditInt(g.First, "Output Address:", 0, 65535);
    // a coil value travels in one byte: larger numbers cannot be sent
    int v = EditInt(g.Second, "Output Value:", 0, 255);
    if (v == 1) v = 255;
    ModWriteCoil(static_cast<uint16_t>(a), static_cast<uint8_t>(v), true);
  });
}

void TPorts1::SendQuery06() {
  ManualRequest(TTestGroup::WriteReg, true, [this] {
    auto& g = Group(TTestGroup::WriteReg);
    const int a = EditInt(g.First, "Register Address:", 0, 65535);
    const int d = EditInt(g.Second, "Register Value:", 0, 65535);
    ModWrite(static_cast<uint16_t>(a), static_cast<uint16_t>(d), true);
  });
}

void TPorts1::SendQuery10() {
  ManualRequest(TTestGroup::WriteMulti, true, [this] {
    auto& g = Group(TTestGroup::WriteMulti);
    const int a = EditInt(g.First, "Starting Address:", 0, 65535);
    std::string text;
    for (const auto& line : g.Values) text += line + " ";
    for (char& ch : text)
      if (ch == '\n' || ch == '\r' || ch == '\t') ch = ' ';
    std::vector<uint16_t> v;
    // a value that does not fit a register is refused rather than sent cut to 16 bits
    auto next = [&] {
      const int64_t n = GetInt(text, 0);
      if (n < 0 || n > 65535) throw Exception("Values: Range Check, Valid Range:  [0 ~ 65535].");
      v.push_back(static_cast<uint16_t>(n));
    };
    Quantity10Hint.clear();
    if (!g.Second.empty()) {
      const int c = EditInt(g.Second, "Quantity of Registers:", 0, 123);
      for (int i = 0; i < c; ++i) next();
    } else {
      while (text.find_first_not_of(' ') != std::string::npos) next();
      Quantity10Hint = std::to_string(v.size());
    }
    // a count beyond the register space is refused by the write, never wrapped round
    const auto count = static_cast<uint16_t>(std::min<size_t>(v.size(), 65535));
    ModWriteMulti(static_cast<uint16_t>(a), count, v.data(), true);
  });
}

void TPorts1::SendQuery08() {
  ManualRequest(TTestGroup::Echo, true, [this] {
    auto& g = Group(TTestGroup::Echo);
    const int d = EditInt(g.First, "Requested Value:", 0, 65535);
    ModEcho(0, static_cast<uint16_t>(d), true);
  });
}

// ---- 0x05 group: "Register:" and the bit buttons ------------------------------

void TPorts1::Button05Click(int n) {
  if (n < 0 || n > 15) return;
  auto& g = Group(TTestGroup::WriteCoil);
  int group = 0;
  if (!Register05.empty()) {
    group = EditInt(Register05, "Register:", 0, 4095);
  } else {
    int64_t a = 0;
    std::string t = g.First;
    if (const size_t c = t.find(','); c != std::string::npos) t.resize(c);
    if (TryStrToInt(t, a) && a >= 0 && a <= 65535) group = static_cast<int>(a / 16);
  }
  SetGroupField(TTestGroup::WriteCoil, TGroupField::First, "0x" + IntToHex(group * 16 + n, 4));
  OutputAddressChange();
}

void TPorts1::OutputAddressChange() {
  std::string t = Group(TTestGroup::WriteCoil).First;
  if (const size_t c = t.find(','); c != std::string::npos) t.resize(c);
  int64_t a = 0;
  if (TryStrToInt(t, a) && a >= 0 && a <= 65535) {
    Register05Hint = "0x" + IntToHex(a / 16, 3);
    Default05 = static_cast<int>(a % 16);
  } else {
    Register05Hint.clear();
    Default05 = -1;
  }
}

}  // namespace vex
