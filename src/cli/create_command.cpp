// qvlib create DRIVE: builds a new library from every audio file on a drive.
#include <memory>

#include "cli/command.h"
#include "cli/job_command.h"

namespace qv::cli {
namespace {

void SetupCreate(CLI::App& app, int* exit_status) {
  auto options = std::make_shared<JobOptions>();
  CLI::App* sub = app.add_subcommand(
      "create",
      "Create the library on a drive from every audio file on it (any earlier library is\n"
      "replaced). Exit status: 0 done, N the error code E-0N raised, 130 cancelled, 64 bad usage.");
  AddJobOptions(sub, options.get());
  sub->callback([options, exit_status] { *exit_status = RunJobCommand(*options, true); });
}

const bool create_registered = RegisterCommand(30, SetupCreate);

}  // namespace
}  // namespace qv::cli
