#include "cli/Commands.h"

namespace vex::cli {

void AddLinkCommands(CLI::App&) {}

}  // namespace vex::cli
