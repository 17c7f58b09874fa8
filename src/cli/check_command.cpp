// qvlib check DRIVE: holds the library files on a drive to every structural
// rule and names the first one broken, with its file and byte offset.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/command.h"
#include "cli/library_drive.h"
#include "job/backup.h"
#include "library/files/library_reader.h"

namespace qv::cli {
namespace {

struct CheckOptions {
  std::string drive;
  std::string fs;  // empty: from the mounted volume, else FAT
  bool created = false;
};

int RunCheck(const CheckOptions& options) {
  ReadLibrary lib;
  ReadTracks tracks;
  ReadFault fault;
  uint32_t kind = LibraryKindForDrive(options.drive, options.fs);
  int r = CheckLibraryFiles(options.drive.c_str(), kind, &lib, &tracks, &fault);
  // The next job puts the copies back exactly when the structure is broken.
  const bool whole = r == kReadOk;
  if (r == kReadOk && options.created) r = CheckCreateStatistics(lib, tracks, &fault);
  const bool interrupted = InterruptedJobBackup((options.drive + "/").c_str(), kind);
  if (r != kReadOk) {
    std::printf("fault: %s\n", DescribeReadFault(fault).c_str());
    if (interrupted && !whole) {
      std::printf(
          "note: an interrupted job left a backup of the library (QVDB.DB.bak, QVTL.DB.bak, "
          "QVBL.DB.bak); the next create or update recovers it\n");
    }
    return kExitFailed;
  }
  std::printf(
      "ok: %u tracks, %zu genres, %zu artists, %zu albums; QVTL.DB %u bytes, QVBL.DB %u bytes, "
      "QVDB.DB %u bytes\n",
      lib.track_count, lib.sections[0].browse[0].entries.size(),
      lib.sections[1].browse[0].entries.size(), lib.sections[2].browse[0].entries.size(),
      lib.track_file_length, lib.browse_file_length, lib.chunk_count == 2 ? 664u : 32u);
  if (interrupted) {
    std::printf(
        "note: an interrupted job left a backup older than this library; the next create or "
        "update replaces it\n");
  }
  return kExitOk;
}

void SetupCheck(CLI::App& app, int* exit_status) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* sub = app.add_subcommand(
      "check", "Check the library files on a drive against every structural rule");
  sub->add_option("DRIVE", options->drive, "Root folder of the drive")->required();
  sub->add_option("--fs", options->fs,
                  "Library directory to read (default: the mounted volume's kind, else fat)")
      ->check(CLI::IsMember({"fat", "hfs"}));
  sub->add_flag("--created", options->created,
                "Also require the track ids and statistics that a create job writes");
  sub->callback([options, exit_status] { *exit_status = RunCheck(*options); });
}

const bool check_registered = RegisterCommand(50, SetupCheck);

}  // namespace
}  // namespace qv::cli
