// vexcli: each group of commands registers itself on the application.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace vex {
class TPorts1;
}

namespace vex::cli {

// Adds the connection options of the link commands to `c`; the function returned gives the hub
// they describe, made at its first call and kept until the program ends (LinkCommands.cpp).
std::function<TPorts1&()> AddHubOptions(CLI::App* c);

void AddLinkCommands(CLI::App& app);      // ports, detect, identify, read, write, ... (LinkCommands.cpp)
void AddFirmwareCommands(CLI::App& app);  // hex, mot (FirmwareCommands.cpp)
void AddConfigCommands(CLI::App& app);    // config (ConfigCommands.cpp)
void AddRtuCommands(CLI::App& app);       // rtu (RtuCommands.cpp)

}  // namespace vex::cli
