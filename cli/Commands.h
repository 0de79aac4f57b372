// vexcli: each group of commands registers itself on the application.
#pragma once

#include <CLI/CLI.hpp>

namespace vex::cli {

void AddLinkCommands(CLI::App& app);      // ports, detect, identify, read, write, ... (LinkCommands.cpp)
void AddFirmwareCommands(CLI::App& app);  // hex, mot (FirmwareCommands.cpp)
void AddConfigCommands(CLI::App& app);    // config (ConfigCommands.cpp)
void AddRtuCommands(CLI::App& app);       // rtu (RtuCommands.cpp)

}  // namespace vex::cli
