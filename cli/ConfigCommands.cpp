#include "cli/Commands.h"

namespace vex::cli {

void AddConfigCommands(CLI::App&) {}

}  // namespace vex::cli
