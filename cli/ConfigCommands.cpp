// vexcli config: configuration image files without a device.
//   config preset T|A|N --model vex324 [--app 8] -o FILE.eem   a model file from a preset
//   config show FILE --model vex324 [--app 8]                  the editor's values and the channel lines
#include <algorithm>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "config/EepFile.h"
#include "config/IsaMaps.h"
#include "config/RegMap.h"
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
  const std::vector<std::string> sections = TEepFile::Sections(o.file);
  auto same = [&info](const std::string& s) {  // the loader matches section names in any case
    return s.size() == std::string(info.form).size() &&
           std::equal(s.begin(), s.end(), info.form, [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) ==
                    std::tolower(static_cast<unsigned char>(b));
           });
  };
  if (std::none_of(sections.begin(), sections.end(), same))
    throw Exception(o.file + " holds no " + info.form + " section (sections: " + Join(sections) + ")");

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

  std::cout << "\n" << TIsaMaps1::cCaption << "\n";
  for (const TEdit& e : isa->Edits)
    if (e.Enabled) std::cout << e.Caption() << " " << e.Text() << "\n";
  for (const TEdit& d : isa->Delays)
    if (d.Enabled) std::cout << d.Caption() << " " << d.Text() << "\n";
  std::string group;
  for (int b = 0; b < obCount; ++b) {
    const TCheckBox& box = isa->Boxes[static_cast<size_t>(b)];
    if (!box.Enabled) continue;
    if (group != cOptDefs[b].group) {
      group = cOptDefs[b].group;
      std::cout << group << ":\n";
    }
    std::cout << "  [" << (box.Checked() ? "x" : " ") << "] " << box.Caption << "\n";
  }
  std::cout << "\nDevice Input Channels:\n";
  for (const std::string& line : isa->ChnLines) std::cout << line << "\n";
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
}

}  // namespace vex::cli
