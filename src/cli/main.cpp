// qvlib: the command-line front end of Library Creator.
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli/command.h"

namespace qv::cli {
namespace {

std::vector<std::pair<int, CommandSetup>>& Registry() {
  static std::vector<std::pair<int, CommandSetup>> commands;
  return commands;
}

}  // namespace

bool RegisterCommand(int order, CommandSetup setup) {
  Registry().emplace_back(order, setup);
  return true;
}

}  // namespace qv::cli

int main(int argc, char** argv) {
  using namespace qv::cli;
  CLI::App app{
      "qvlib writes the music library of the player onto a removable drive (FAT or HFS)\n"
      "and reads back what it wrote.",
      "qvlib"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("qvlib ") + QV_VERSION,
                       "Print the version and exit");
  int exit_status = kExitOk;
  auto commands = Registry();
  std::stable_sort(commands.begin(), commands.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [order, setup] : commands) setup(app, &exit_status);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  return exit_status;
}
