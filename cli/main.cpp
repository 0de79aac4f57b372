// vexcli: the command-line front end over the same core as the program.
#include <cstdio>
#include <iostream>

#include "cli/Commands.h"
#include "shell/Basics.h"

int main(int argc, char** argv) {
  CLI::App app{"Annunciator configuration, test and production utility (command line)", "vexcli"};
  app.require_subcommand(1);
  app.fallthrough();
  vex::cli::AddLinkCommands(app);
  vex::cli::AddFirmwareCommands(app);
  vex::cli::AddConfigCommands(app);
  vex::cli::AddRtuCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  } catch (const vex::Exception& e) {
    std::cout.flush();
    std::cerr << e.what() << "\n";
    return 1;
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << e.what() << "\n";
    return 2;
  }
  return 0;
}
