#include "cli/Commands.h"

namespace vex::cli {

void AddFirmwareCommands(CLI::App&) {}

}  // namespace vex::cli
