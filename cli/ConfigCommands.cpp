// vexcli config: configuration image files, and the model's configuration editor against a device.
//   config preset T|A|N --model vex324 [--app 8] -o FILE.eem   a model file from a preset
//   config show FILE --model vex324 [--app 8]                  the editor's values and the channel lines
//   config diff A B [--model M --app N]                        what differs, per field and per input
//   config read [-o FILE] | write FILE [--store] [--restart] | backup | restore [--write] | store | restart
#include <algorithm>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "comm/Ports.h"
#include "config/EepFile.h"
#include "config/IsaMaps.h"
#include "config/RegMap.h"
#include "config/VexCfg.h"
#include "shell/Instances.h"
#include "shell/Main.h"

namespace vex::cli {

namespace {

struct ConfigOptions {
  std::string preset, model = "vex324", file, out, id = "1";
  int app = -1;  // -1: the model's current sequence variant
};

// The variant taken when --app is not given: the current sequence firmware of each model.
int DefaultApp(TVexModel m) {
  switch (m) {
    case TVexModel::Vex215:
    case TVexModel::Vex733:
    case TVexModel::Vex748:
      return 0;
    case TVexModel::Vex316:
      return 17;
    default:
      return 8;
  }
}

bool SixDigitId(TVexModel m) {
  return m == TVexModel::Vex215 || m == TVexModel::Vex216 || m == TVexModel::Vex308 || m == TVexModel::Vex316;
}

bool HasSequences(TVexModel m) { return m != TVexModel::Vex733 && m != TVexModel::Vex748; }

// Captions of the editor's fields, which are also the keys of the image files.
std::vector<std::pair<std::string, std::string>> EditorFields(TVexModel m) {
  const bool rack9 = m == TVexModel::Vex924 || m == TVexModel::Vex932 || m == TVexModel::Vex936 ||
                     m == TVexModel::Vex733 || m == TVexModel::Vex748;
  std::vector<std::pair<std::string, std::string>> f = {
      {"LabeledEdit10", "Modbus ID <1~31>:"},
      {"LabeledEdit11", rack9 ? "Detection Time <3~250mS>:" : "Detection <3~250mS>:"},
      {"LabeledEdit12", rack9 ? "Clearance Time <3~250ms>:" : "Clearance <3~250ms>:"}};
  if (m == TVexModel::Vex733) {
    f.push_back({"LabeledEdit20", "Pulse Timer <0~65000mS>:"});
    f.push_back({"LabeledEdit21", "Block-1 Timer <0~65000mS>:"});
    f.push_back({"LabeledEdit22", "Block-2 Timer <0~65000mS>:"});
    f.push_back({"LabeledEdit23", "Block-3 Timer <0~65000mS>:"});
  }
  return f;
}

std::string Join(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += (s.empty() ? "" : ", ") + x;
  return s;
}

// The file's section of an editor, found as the loader finds it (in any letter case); a file
// without one is refused before anything is loaded or sent.
void RequireSection(const std::string& file, const std::string& form) {
  const std::vector<std::string> sections = TEepFile::Sections(file);
  auto same = [&form](const std::string& s) {
    return s.size() == form.size() && std::equal(s.begin(), s.end(), form.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) ==
                    std::tolower(static_cast<unsigned char>(b));
           });
  };
  if (std::none_of(sections.begin(), sections.end(), same))
    throw Exception(file + " holds no " + form + " section (sections: " + Join(sections) + ")");
}

// The configurator's values and the channel lines, as its window shows them.
void PrintIsa(const TIsaMaps1& isa) {
  std::cout << "\n" << TIsaMaps1::cCaption << "\n";
  for (const TEdit& e : isa.Edits)
    if (e.Enabled) std::cout << e.Caption() << " " << e.Text() << "\n";
  for (const TEdit& d : isa.Delays)
    if (d.Enabled) std::cout << d.Caption() << " " << d.Text() << "\n";
  std::string group;
  for (int b = 0; b < obCount; ++b) {
    const TCheckBox& box = isa.Boxes[static_cast<size_t>(b)];
    if (!box.Enabled) continue;
    if (group != cOptDefs[b].group) {
      group = cOptDefs[b].group;
      std::cout << group << ":\n";
    }
    std::cout << "  [" << (box.Checked() ? "x" : " ") << "] " << box.Caption << "\n";
  }
  std::cout << "\nDevice Input Channels:\n";
  for (const std::string& line : isa.ChnLines) std::cout << line << "\n";
}

void Preset(const ConfigOptions& o) {
  const TVexModel m = ModelByName(o.model);
  const TVexModelInfo& info = VexModelInfo(m);
  if (!HasSequences(m)) throw Exception(std::string(info.shown) + " has no alarm sequences");
  const int app = o.app >= 0 ? o.app : DefaultApp(m);
  PlainField idField(o.id, "--id");
  const int64_t id = LbEdttoInt(idField, 1, 31);
  TIsaMaps1 isa;
  TEdit det("Detection:"), clr("Clearance:");
  SetupForModel(isa, m, app, &det, &clr);
  if (o.preset == "T")
    isa.DefaultT();
  else if (o.preset == "A")
    isa.DefaultA();
  else if (o.preset == "N")
    isa.DefaultN();
  else
    throw Exception("Unknown preset \"" + o.preset + "\" (T, A or N)");
  const TEepKeys fields = {{"LabeledEdit1", SixDigitId(m) ? "000000" : "00000"},
                           {"LabeledEdit2", ""},
                           {"LabeledEdit10", std::to_string(id)},
                           {"LabeledEdit11", det.Text()},
                           {"LabeledEdit12", clr.Text()}};
  const TEepHeader header{"", "", std::string(cMainCaption) + ", " + cVersionLabel};
  TEepFile(info.form).SaveConfig(o.out, header, fields, &isa);
  std::cout << "Saved \"Default - " << o.preset << "\" for " << info.shown << " (variant " << app << ") to "
            << o.out << "\n";
}

void Show(const ConfigOptions& o) {
  const TVexModel m = ModelByName(o.model);
  const TVexModelInfo& info = VexModelInfo(m);
  const int app = o.app >= 0 ? o.app : DefaultApp(m);
  TEepFile file(info.form);
  RequireSection(o.file, info.form);

  const auto captions = EditorFields(m);
  std::vector<std::string> keys;
  for (const auto& c : captions) keys.push_back(c.first);
  std::unique_ptr<TIsaMaps1> isa;
  if (HasSequences(m)) {
    isa = std::make_unique<TIsaMaps1>();
    SetupForModel(*isa, m, app, nullptr, nullptr);
  }
  const std::vector<std::string> values = file.LoadConfig(o.file, keys, isa.get());

  std::cout << info.shown << " configuration, variant " << app << ", section " << info.form << "\n";
  for (size_t k = 0; k < captions.size(); ++k) std::cout << captions[k].second << " " << values[k] << "\n";
  if (!isa) return;

  PrintIsa(*isa);
}

// ---- against a device: the model's configuration editor on the command line's hub ----

struct NoDesktop : IDesktop {
  bool RaiseWindow(const std::string&) override { return false; }
  bool FileExists(const std::string&) const override { return false; }
  void Open(const std::string&) override {}
};

// The editor of the connected model (or of --model) with what it needs around it.
struct Session {
  explicit Session(TPorts1& hub) : p(hub), link(MakeMainLink(hub)), main(*link, desktop) {}
  TVexCfg1& Editor(const std::string& model, const std::string& dataDir) {
    p.Button1Click();  // "Discovery": the model and its variant
    TVexModel m;
    if (!model.empty()) {
      m = ModelByName(model);
    } else {
      bool found = false;
      for (const TVexModelInfo& i : VexModels())
        if (!found && (i.model == TVexModel::Vex215 ? p.BotReg == i.fid : p.BotMod == i.fid)) {
          m = i.model;
          found = true;
        }
      if (!found) throw Exception("The device (Boot ID: " + p.BootId + ") is no model with a configuration");
    }
    ed = std::make_unique<TVexCfg1>(CfgMember(m), p, main, isa);
    ed->Program = std::string(cMainCaption) + ", " + cVersionLabel;
    if (!dataDir.empty()) ed->DataDir = dataDir;
    return *ed;
  }
  TPorts1& p;
  NoDesktop desktop;
  std::unique_ptr<IMainLink> link;
  TMain1 main;
  TIsaMaps1 isa;
  std::unique_ptr<TVexCfg1> ed;
};

struct DeviceOptions {
  std::string model, file, dir;
  bool store = false, restart = false, write = false;
};

void PrintEditor(TVexCfg1& e) {
  std::cout << e.Info.shown << " configuration, variant " << e.AppSof() << ", section " << e.FormName()
            << "\n";
  for (TCfgEdit* f : e.Fields())
    if (f->Visible) std::cout << f->Caption() << " " << f->Text() << "\n";
  if (e.GridActive()) {
    std::cout << "Horn / Bell:";
    for (size_t i = 0; i < e.Grid.size(); ++i)
      std::cout << " " << InttoZero(static_cast<int64_t>(i + 1), 2) << "="
                << (e.Grid[i].H.Checked()   ? "H"
                    : e.Grid[i].B.Checked() ? "B"
                                            : "-");
    std::cout << "\n";
  }
  if (e.Row.Options)
    std::cout << "Options: [" << (e.CommDiag.Checked() ? "x" : " ") << "] " << e.CommDiag.Caption << "  ["
              << (e.DxLock.Checked() ? "x" : " ") << "] " << e.DxLock.Caption << "\n";
}

void DeviceRead(TPorts1& hub, const DeviceOptions& o) {
  Session s(hub);
  TVexCfg1& e = s.Editor(o.model, o.dir);
  e.Button1Click();
  PrintEditor(e);
  if (e.Row.Sequences && e.Layout().sequence) PrintIsa(s.isa);
  if (!o.file.empty()) {
    e.SaveConfig(o.file);
    std::cerr << "Saved to " << o.file << "\n";
  }
}

void DeviceWrite(TPorts1& hub, const DeviceOptions& o) {
  Session s(hub);
  TVexCfg1& e = s.Editor(o.model, o.dir);
  RequireSection(o.file, e.FormName());
  e.Button1Click();  // what the file does not carry (the horn/bell grid) stays as the device has it
  e.LoadConfig(o.file);
  e.Button2Click();  // validates everything before the first register is written
  std::cout << "Write Config Complete\n";
  if (o.store) {
    e.Button3Click();
    std::cout << "Write Eeprom Complete\n";
  }
  if (o.restart) {
    e.Button4Click();
    std::cout << "Reset Complete\n";
  }
}

void DeviceBackup(TPorts1& hub, const DeviceOptions& o) {
  Session s(hub);
  TVexCfg1& e = s.Editor(o.model, o.dir);
  e.Button1Click();
  const std::string file = e.BackupFile(e.LabeledEdit1.Text());
  e.Button6Click();
  std::cout << file << "\n";
}

void DeviceRestore(TPorts1& hub, const DeviceOptions& o) {
  Session s(hub);
  TVexCfg1& e = s.Editor(o.model, o.dir);
  if (o.write) e.Button1Click();  // the grid as the device has it
  const std::string file = e.BackupFile(hub.UniqeId);
  e.Button7Click();
  std::cerr << "Loaded " << file << "\n";
  PrintEditor(e);
  if (e.Row.Sequences && e.Layout().sequence) PrintIsa(s.isa);
  if (o.write) {
    e.Button2Click();
    std::cout << "Write Config Complete\n";
  }
}

void DeviceCommand(TPorts1& hub, const DeviceOptions& o, bool store) {
  Session s(hub);
  TVexCfg1& e = s.Editor(o.model, o.dir);
  if (store) {
    e.Button3Click();
    std::cout << "Write Eeprom Complete\n";
  } else {
    e.Button4Click();
    std::cout << "Reset Complete\n";
  }
}

// ---- diff: two image files in the configurator's terms ----

struct Side {
  std::vector<std::string> values;
  std::unique_ptr<TIsaMaps1> isa;
};

Side LoadSide(const std::string& file, TVexModel m, int app) {
  const TVexModelInfo& info = VexModelInfo(m);
  RequireSection(file, info.form);
  Side r;
  std::vector<std::string> keys;
  for (const auto& c : EditorFields(m)) keys.push_back(c.first);
  if (HasSequences(m)) {
    r.isa = std::make_unique<TIsaMaps1>();
    SetupForModel(*r.isa, m, app, nullptr, nullptr);
  }
  r.values = TEepFile(info.form).LoadConfig(file, keys, r.isa.get());
  return r;
}

int Diff(const ConfigOptions& o, const std::string& other) {
  const TVexModel m = ModelByName(o.model);
  const int app = o.app >= 0 ? o.app : DefaultApp(m);
  Side a = LoadSide(o.file, m, app), b = LoadSide(other, m, app);
  int n = 0;
  auto line = [&n](const std::string& what, const std::string& x, const std::string& y) {
    if (x == y) return;
    std::cout << what << " " << (x.empty() ? "(empty)" : x) << " -> " << (y.empty() ? "(empty)" : y) << "\n";
    ++n;
  };
  const auto captions = EditorFields(m);
  for (size_t k = 0; k < captions.size(); ++k) line(captions[k].second, a.values[k], b.values[k]);
  if (a.isa) {
    TIsaMaps1 &x = *a.isa, &y = *b.isa;
    for (size_t k = 0; k < x.Edits.size(); ++k)
      if (x.Edits[k].Enabled) line(x.Edits[k].Caption(), x.Edits[k].Text(), y.Edits[k].Text());
    for (size_t k = 0; k < x.Delays.size(); ++k)
      if (x.Delays[k].Enabled) line(x.Delays[k].Caption(), x.Delays[k].Text(), y.Delays[k].Text());
    for (int k = 0; k < obCount; ++k) {
      const TCheckBox &bx = x.Boxes[static_cast<size_t>(k)], &by = y.Boxes[static_cast<size_t>(k)];
      if (bx.Enabled)
        line(std::string(cOptDefs[k].group) + ": " + bx.Caption, bx.Checked() ? "[x]" : "[ ]",
             by.Checked() ? "[x]" : "[ ]");
    }
    static const char* const props[] = {"Color", "Flash", "Sound", "Relay"};
    auto text = [](const TComboList& l) {
      return l.ItemIndex >= 0 && l.ItemIndex < static_cast<int>(l.Items.size())
                 ? l.Items[static_cast<size_t>(l.ItemIndex)]
                 : std::string();
    };
    for (int i = 1; i <= x.Siz; ++i) {
      x.SelectChannels({i});
      y.SelectChannels({i});
      const std::string in = "Input " + InttoZero(i, 2);
      line(in + ":", x.ChnLines[static_cast<size_t>(i - 1)].substr(5),
           y.ChnLines[static_cast<size_t>(i - 1)].substr(5));
      for (int st = isAlm; st <= isMom; ++st)
        for (int p = ipColor; p <= ipRelay; ++p)
          line(in + " " + cStateCaption[st] + " " + props[p], text(x.List(TIsaState(st), TIsaProp(p))),
               text(y.List(TIsaState(st), TIsaProp(p))));
      line(in + " First Alarm Lock", text(x.List(isAlm, ipLock)), text(y.List(isAlm, ipLock)));
      line(in + " Acknowledged Reset", text(x.List(isAck, ipReset)), text(y.List(isAck, ipReset)));
      if (x.InpInvBox.Enabled)
        line(in + " " + x.InpInvBox.Caption, x.InpInvBox.State == cbChecked ? "[x]" : "[ ]",
             y.InpInvBox.State == cbChecked ? "[x]" : "[ ]");
    }
  }
  if (n == 0) std::cout << "No differences\n";
  return n == 0 ? 0 : 1;
}

}  // namespace

void AddConfigCommands(CLI::App& app) {
  auto o = std::make_shared<ConfigOptions>();
  auto* config = app.add_subcommand("config", "Configuration image files (.eep backups, .eem model files)");
  config->require_subcommand(1);

  auto* preset = config->add_subcommand("preset", "Write a model file from a sequence preset");
  preset->add_option("PRESET", o->preset, "T, A or N (\"Default - T\", \"Default - A\", \"Default - N\")")
      ->required()
      ->check(CLI::IsMember({"T", "A", "N"}));
  preset
      ->add_option("--model", o->model,
                   "model: vex215, vex216, vex308, vex316, vex324, vex924, vex932, vex936")
      ->capture_default_str();
  preset->add_option("--app", o->app, "application variant (AppSof); default: the model's current one")
      ->check(CLI::Range(0, 255));
  preset->add_option("--id", o->id, "Modbus ID written to the file <1~31>")->capture_default_str();
  preset->add_option("-o,--output", o->out, "model file to write (.eem); sections already in it are kept")
      ->required();
  preset->callback([o] { Preset(*o); });

  auto* show =
      config->add_subcommand("show", "Show an image file as the editor and the configurator read it");
  show->add_option("FILE", o->file, "image file (.eep or .eem)")->required()->check(CLI::ExistingFile);
  show->add_option("--model", o->model, "model whose editor reads the file")->capture_default_str();
  show->add_option("--app", o->app, "application variant (AppSof); default: the model's current one")
      ->check(CLI::Range(0, 255));
  show->callback([o] { Show(*o); });

  auto other = std::make_shared<std::string>();
  auto* diff = config->add_subcommand(
      "diff",
      "Show what differs between two image files, per field and per input (exit 0 equal, 1 differ, 2 error)");
  diff->add_option("A", o->file, "first image file (.eep or .eem)")->required()->check(CLI::ExistingFile);
  diff->add_option("B", *other, "second image file")->required()->check(CLI::ExistingFile);
  diff->add_option("--model", o->model, "model whose editor reads the files")->capture_default_str();
  diff->add_option("--app", o->app, "application variant (AppSof); default: the model's current one")
      ->check(CLI::Range(0, 255));
  diff->callback([o, other] {
    int rc = 2;
    try {
      rc = Diff(*o, *other);
    } catch (const Exception& e) {
      std::cout.flush();
      std::cerr << e.what() << "\n";
    }
    if (rc != 0) throw CLI::RuntimeError(rc);
  });

  // against a device
  auto d = std::make_shared<DeviceOptions>();
  auto device = [&](const char* name, const char* help) {
    CLI::App* c = config->add_subcommand(name, help);
    auto hub = AddHubOptions(c);
    c->add_option("--model", d->model, "model of the device (default: the one identification finds)");
    return std::make_pair(c, hub);
  };
  auto dirOption = [&](CLI::App* c) {
    c->add_option("--dir", d->dir,
                  "folder below which <Model>/Config holds the backups (default: the program's)");
  };
  {
    auto [c, hub] = device("read", "Read Config: the editor's values, then one channel line per input");
    c->add_option("-o,--output", d->file, "also save the configuration to this image file (.eep)");
    c->callback([d, hub = hub] { DeviceRead(hub(), *d); });
  }
  {
    auto [c, hub] =
        device("write", "Write Config from an image file (everything is validated before anything is sent)");
    c->add_option("FILE", d->file, "image file (.eep or .eem)")->required()->check(CLI::ExistingFile);
    c->add_flag("--store", d->store, "then Set Eeprom: the device stores the configuration");
    c->add_flag("--restart", d->restart, "then Restart the device");
    c->callback([d, hub = hub] { DeviceWrite(hub(), *d); });
  }
  {
    auto [c, hub] =
        device("backup", "Read Config and save it to the device's backup file <Model>/Config/SN<ID>.eep");
    dirOption(c);
    c->callback([d, hub = hub] { DeviceBackup(hub(), *d); });
  }
  {
    auto [c, hub] = device("restore", "Load the connected device's backup file and show it");
    dirOption(c);
    c->add_flag("--write", d->write, "then Write Config to the device");
    c->callback([d, hub = hub] { DeviceRestore(hub(), *d); });
  }
  {
    auto [c, hub] =
        device("store", "Set Eeprom: the device stores its working configuration (0, $1234, $8888)");
    c->callback([d, hub = hub] { DeviceCommand(hub(), *d, true); });
  }
  {
    auto [c, hub] = device("restart", "Restart the device (0, $1234, $9999)");
    c->callback([d, hub = hub] { DeviceCommand(hub(), *d, false); });
  }
}

}  // namespace vex::cli
