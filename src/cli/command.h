// Each qvlib subcommand lives in its own file and registers itself here, so
// that adding a command touches no other file.
#pragma once

#include <CLI/CLI.hpp>

namespace qv::cli {

// Exit statuses shared by the commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitCancelled = 130;
inline constexpr int kExitUsage = 64;

// Adds one subcommand to app. The subcommand's callback runs the command and
// stores its exit status in *exit_status.
using CommandSetup = void (*)(CLI::App& app, int* exit_status);

// Registers a subcommand; `order` places it in the help listing. Called from
// a static initialiser in the command's file; returns true.
bool RegisterCommand(int order, CommandSetup setup);

}  // namespace qv::cli
