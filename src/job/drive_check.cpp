#include "job/drive_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/volumes.h"

namespace qv {

uint32_t CheckFileSystem(const char* type_name) {
  static const char* const kFat[] = {"msdos", "vfat", "fat"};
  static const char* const kHfs[] = {"hfs", "hfsplus"};
  for (const char* name : kHfs) {
    if (std::strcmp(type_name, name) == 0) return 2;
  }
  for (const char* name : kFat) {
    if (std::strcmp(type_name, name) == 0) return 1;
  }
  return 0;
}

const char* FileSystemNameOfKind(uint32_t kind) {
  return kind == 2 ? "hfs" : kind == 1 ? "msdos" : "";
}

int32_t CheckPath(const char* path) {
  const auto volumes = MountedLocalVolumes();
  for (size_t i = 0; i < volumes.size(); ++i) {
    if (volumes[i].mount_path == path) return static_cast<int32_t>(i);
  }
  return -1;
}

namespace {

DriveCheckResult NotUsable(DriveCheckResult r, DriveProblem problem) {
  r.check = kDriveNotUsable;
  r.problem = problem;
  return r;
}

}  // namespace

DriveCheckResult MakeCheck(const char* path, uint32_t kind_override,
                           int (*check_library)(const char* root, uint32_t kind)) {
  DriveCheckResult r{};
  r.check = kDriveNotUsable;
  r.problem = DriveProblem::kNone;
  struct stat st {};
  if (stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) return NotUsable(r, DriveProblem::kMissing);
  if (!IsWritableVolume(path)) return NotUsable(r, DriveProblem::kReadOnly);
  if (kind_override != 0) {
    std::snprintf(r.file_system, sizeof r.file_system, "%s", FileSystemNameOfKind(kind_override));
  } else {
    MountedVolume volume;
    if (!VolumeOfPath(path, &volume)) return NotUsable(r, DriveProblem::kMissing);
    std::snprintf(r.file_system, sizeof r.file_system, "%s", volume.type.c_str());
    if (std::strcmp(path, "/") == 0) return NotUsable(r, DriveProblem::kStartupVolume);
  }
  const uint32_t kind = CheckFileSystem(r.file_system);
  if (kind == 0) return NotUsable(r, DriveProblem::kNotFatOrHfs);
  char root[1100];
  std::snprintf(root, sizeof root, "%s/", path);
  r.check = check_library(root, kind) == 0 ? kDriveHasLibrary : kDriveNoLibrary;
  return r;
}

}  // namespace qv
