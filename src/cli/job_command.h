// What qvlib create and qvlib update share: the options, the drive checks and
// the start question, and one job run on the terminal.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace qv::cli {

struct JobOptions {
  std::string drive;
  std::string lang;
  std::string fs;
  std::string on_unreadable;
  bool yes = false;
  int readers = 0;  // 0: the job's default
};

// Adds the options of a job command to sub.
void AddJobOptions(CLI::App* sub, JobOptions* options);

// Runs one job and returns the exit status: 0 done, N the error code raised,
// 130 cancelled, 64 bad usage.
int RunJobCommand(const JobOptions& options, bool create);

}  // namespace qv::cli
