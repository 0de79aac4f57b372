// vexcli: each group of commands registers itself on the application.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>

namespace vex {
class TPorts1;
}

namespace vex::cli {

// A subcommand of `parent` with the connection options (--port, --tcp, --log ...); on its turn
// `body` runs on a fresh hub set up from the settings file and those options (LinkCommands.cpp).
CLI::App* LinkCommand(CLI::App& parent, const char* name, const char* help,
                      std::function<void(TPorts1&)> body);
// Adds the connection options of the link commands to `c`; the function returned gives the hub
// they describe, made at its first call and kept until the program ends (LinkCommands.cpp).
std::function<TPorts1&()> AddHubOptions(CLI::App* c);

void AddLinkCommands(CLI::App& app);      // ports, detect, identify, read, write, ... (LinkCommands.cpp)
void AddFirmwareCommands(CLI::App& app);  // hex, mot (FirmwareCommands.cpp)
void AddConfigCommands(CLI::App& app);    // config (ConfigCommands.cpp)
void AddRackCommands(CLI::App& app);      // rack out, rack pulse (RackCommands.cpp)
void AddMonitorCommands(
    CLI::App& app);                   // monitor, key, sync-time, events, erase-events (MonitorCommands.cpp)
void AddRtuCommands(CLI::App& app);   // rtu (RtuCommands.cpp)
void AddLoadCommands(CLI::App& app);  // upload, produce (LoadCommands.cpp)

}  // namespace vex::cli
