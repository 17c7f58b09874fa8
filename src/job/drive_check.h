// Whether a drive can take a library, and which kind of file system it has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

// DriveCheck.
inline constexpr int kDriveHasLibrary = 1;
inline constexpr int kDriveNoLibrary = 2;
inline constexpr int kDriveNotUsable = 3;

// Why a drive is not usable, for listings.
enum class DriveProblem { kNone, kMissing, kReadOnly, kStartupVolume, kNotFatOrHfs };

// FileSystemKind of a type name: 1 FAT, 2 HFS, 0 anything else.
uint32_t CheckFileSystem(const char* type_name);

// The type name stored for a folder whose kind the user named.
const char* FileSystemNameOfKind(uint32_t kind);

// The list index of the mounted local volume at path, or -1.
int32_t CheckPath(const char* path);

struct DriveCheckResult {
  int check;  // DriveCheck
  DriveProblem problem;
  char file_system[256];  // type name; written even when the drive is not usable
};

// The drive check of a mount path. kind_override, when not 0, names the kind
// of a folder that is not itself a mounted FAT or HFS volume; such a folder
// is usable when it exists and can be written. check_library answers 0 when
// the three library files are on the drive (root with trailing "/").
DriveCheckResult MakeCheck(const char* path, uint32_t kind_override,
                           int (*check_library)(const char* root, uint32_t kind));

}  // namespace qv
