// vexcli hex / mot: load firmware images into the image store, show their statistics
// and merge a bootloader with an application.
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "firmware/Mixer.h"

namespace vex::cli {

namespace {

struct FirmwareOptions {
  std::string file, seg = "64", boot, app, out = "Mixed.hex";
};

uint32_t SegOption(const std::string& text) {
  PlainField f(text, "--seg");
  return static_cast<uint32_t>(LbEdttoInt(f, 0, 65536));
}

std::unique_ptr<TMixer1> NewStore() {
  auto m = std::make_unique<TMixer1>();
  m->Mesaj = [](const std::string& s) { std::cout << s << "\n"; };
  return m;
}

}  // namespace

void AddFirmwareCommands(CLI::App& app) {
  auto o = std::make_shared<FirmwareOptions>();

  auto* hex = app.add_subcommand("hex", "Intel HEX firmware images (PIC16F and PIC18F)");
  hex->require_subcommand(1);

  auto* info = hex->add_subcommand("info", "Load an application HEX file and show its statistics");
  info->add_option("FILE", o->file, "application HEX file")->required();
  info->add_option("--seg", o->seg, "bootloader segment size in bytes (32 for PIC16F, 64 for PIC18F)")
      ->required();
  info->callback([o] { NewStore()->HexLoader(o->file, false, true, SegOption(o->seg)); });

  auto* mix = hex->add_subcommand("mix", "Merge a bootloader and an application into one HEX file");
  mix->add_option("--boot", o->boot, "bootloader HEX file")->required();
  mix->add_option("--app", o->app, "application HEX file")->required();
  mix->add_option("--seg", o->seg, "bootloader segment size in bytes (32: PIC16F form, 64: PIC18F form)")
      ->required();
  mix->add_option("-o,--output", o->out, "destination HEX file")->capture_default_str();
  mix->callback([o] { NewStore()->Mix(o->boot, o->app, o->out, SegOption(o->seg)); });

  auto* mot = app.add_subcommand("mot", "Motorola S-record firmware images");
  mot->require_subcommand(1);
  auto* minfo = mot->add_subcommand("info", "Load an S-record file (segment 64) and show its statistics");
  minfo->add_option("FILE", o->file, "S-record file")->required();
  minfo->callback([o] { NewStore()->MotLoader(o->file, 64); });
}

}  // namespace vex::cli
