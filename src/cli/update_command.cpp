// qvlib update DRIVE: brings the library on a drive up to date with its files.
#include <memory>

#include "cli/command.h"
#include "cli/job_command.h"

namespace qv::cli {
namespace {

void SetupUpdate(CLI::App& app, int* exit_status) {
  auto options = std::make_shared<JobOptions>();
  CLI::App* sub = app.add_subcommand(
      "update",
      "Update the library on a drive: drop tracks whose files are gone, add new files.\n"
      "The drive must hold a complete library. Exit statuses as for create.");
  AddJobOptions(sub, options.get());
  sub->callback([options, exit_status] { *exit_status = RunJobCommand(*options, false); });
}

const bool update_registered = RegisterCommand(31, SetupUpdate);

}  // namespace
}  // namespace qv::cli
