#include "cli/library_drive.h"

#include <climits>
#include <cstdlib>

#include "cli/escape.h"
#include "job/drive_check.h"
#include "library/files/library_files.h"
#include "platform/volumes.h"

namespace qv::cli {

uint32_t LibraryKindForDrive(const std::string& drive, const std::string& fs_option) {
  if (fs_option == "hfs") return kFileSystemHfs;
  if (fs_option == "fat") return kFileSystemFat;
  // Without --fs, the root of a mounted FAT or HFS volume names its own
  // directory, as it does for qvlib create; any other folder reads as FAT.
  char real[PATH_MAX];
  MountedVolume volume;
  if (realpath(drive.c_str(), real) != nullptr && VolumeOfPath(real, &volume) &&
      volume.mount_path == real) {
    uint32_t kind = CheckFileSystem(volume.type.c_str());
    if (kind == kFileSystemFat || kind == kFileSystemHfs) return kind;
  }
  return kFileSystemFat;
}

std::string DescribeReadFault(const ReadFault& fault) {
  return std::string(fault.file) + ", byte " + std::to_string(fault.offset) + ": " +
         EscapeControls(fault.message);
}

const char* DriveCheckReason(const DriveCheckResult& r) {
  switch (r.check) {
    case kDriveHasLibrary:
      return "library present";
    case kDriveNoLibrary:
      return "no library";
    default:
      break;
  }
  switch (r.problem) {
    case DriveProblem::kReadOnly:
      return "not usable: read-only";
    case DriveProblem::kStartupVolume:
      return "not usable: start-up volume";
    case DriveProblem::kNotFatOrHfs:
      return "not usable: not FAT or HFS";
    default:
      return "not usable: cannot be examined";
  }
}

}  // namespace qv::cli
