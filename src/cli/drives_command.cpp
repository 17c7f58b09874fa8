// qvlib drives: the mounted volumes and whether each can take a library.
#include <cstdio>
#include <memory>

#include "cli/command.h"
#include "cli/escape.h"
#include "cli/library_drive.h"
#include "job/drive_check.h"
#include "library/files/library_files.h"
#include "platform/volumes.h"

namespace qv::cli {
namespace {

int RunDrives() {
  for (const MountedVolume& v : MountedLocalVolumes()) {
    const DriveCheckResult r = MakeCheck(v.mount_path.c_str(), 0, CheckExistingLibrary);
    // A tab or newline in a label or mount path would break the record.
    std::printf("%s\t%s\t%s\t%d\t%s\n", EscapeControls(VolumeDisplayName(v)).c_str(),
                EscapeControls(v.mount_path).c_str(), EscapeControls(v.type).c_str(), r.check,
                DriveCheckReason(r));
  }
  return kExitOk;
}

void SetupDrives(CLI::App& app, int* exit_status) {
  CLI::App* sub = app.add_subcommand(
      "drives",
      "List the mounted volumes, one per line: display name, mount path, file-system type,\n"
      "drive check (1 library present, 2 no library, 3 not usable) and its reason, tab-separated");
  sub->callback([exit_status] { *exit_status = RunDrives(); });
}

const bool drives_registered = RegisterCommand(20, SetupDrives);

}  // namespace
}  // namespace qv::cli
