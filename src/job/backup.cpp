#include "job/backup.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_door.h"
#include "platform/file_failure.h"
#include "platform/file_ops.h"

namespace qv {
namespace {

// Saved in this order; the copies sit in the top directory, beside LIBRARY.
const char* const kSavedFiles[3] = {"QVDB.DB", "QVTL.DB", "QVBL.DB"};

char g_library_dir[1024];
char g_backup_dir[1024];

std::string InDir(const char* dir, const char* name, const char* suffix = "") {
  return std::string(dir) + name + suffix;
}

bool AllBackupsThere() {
  for (const char* name : kSavedFiles) {
    if (!IsRegularFileNoFollow(InDir(g_backup_dir, name, ".bak").c_str())) return false;
  }
  return true;
}

// Empties the library directory and copies the .bak files back: true when
// all three came back.
bool PutBackupsBack() {
  RemoveLibraryFiles();
  // The library folder may have gone with the failed job.
  Files().Mkdir(g_backup_dir, 0777);
  Files().Mkdir(g_library_dir, 0777);
  bool all = true;
  for (const char* name : kSavedFiles) {
    const bool ok = CopyFileNoOverwrite(InDir(g_backup_dir, name, ".bak").c_str(),
                                        InDir(g_library_dir, name).c_str());
    all = all && ok;
  }
  return all;
}

}  // namespace

const char* LibraryDir() {
  return g_library_dir;
}
const char* BackupDir() {
  return g_backup_dir;
}

void ClearBackupPaths() {
  g_backup_dir[0] = 0;
  g_library_dir[0] = 0;
}

int RemoveBackups() {
  for (const char* name : kSavedFiles) RemovePath(InDir(g_backup_dir, name, ".bak").c_str());
  return 1;
}

bool BackupLibrary(const char* root, uint32_t kind,
                   int (*check_library)(const char* root, uint32_t kind)) {
  const char* top = kind == 2 ? ".QUORVEN" : "QUORVEN";
  const int n = std::snprintf(g_library_dir, sizeof g_library_dir, "%s%s/LIBRARY/", root, top);
  if (n < 0 || static_cast<size_t>(n) >= sizeof g_library_dir) {
    NoteFileFailure(root, ENAMETOOLONG, -1, "");
    ClearBackupPaths();
    return false;
  }
  std::snprintf(g_backup_dir, sizeof g_backup_dir, "%s%s/", root, top);
  if (check_library(root, kind) != 0) {
    // Copies that an earlier restore could not put back are the last good
    // library on the drive: they come back before this job replaces them.
    if (!AllBackupsThere()) {
      g_backup_dir[0] = 0;
      return true;
    }
    if (!PutBackupsBack()) {
      ClearBackupPaths();
      return false;
    }
  }
  // Copies left by an interrupted run would make the copies fail.
  RemoveBackups();
  bool all = true;
  for (const char* name : kSavedFiles) {
    const bool ok = CopyFileNoOverwrite(InDir(g_library_dir, name).c_str(),
                                        InDir(g_backup_dir, name, ".bak").c_str());
    all = all && ok;
  }
  if (all) return true;
  RemoveBackups();
  ClearBackupPaths();
  return false;
}

int DiscardBackup() {
  if (g_backup_dir[0] != 0) {
    RemoveBackups();
    ClearBackupPaths();
  }
  return 1;
}

int RemoveLibraryFiles() {
  std::vector<std::string> names;
  if (!ListDirectory(g_library_dir, &names)) return 0;
  for (const std::string& name : names) {
    const std::string path = InDir(g_library_dir, name.c_str());
    if (IsRegularFileNoFollow(path.c_str())) RemovePath(path.c_str());
  }
  return 1;
}

int RestoreLibrary() {
  if (g_backup_dir[0] == 0) {
    RemoveLibraryFiles();
    return 1;
  }
  // A copy that did not come back leaves the .bak files as the only good
  // library on the drive: they stay, and BackupDir names them, until the
  // next job puts them back.
  if (!PutBackupsBack()) return 1;
  RemoveBackups();
  ClearBackupPaths();
  return 1;
}

}  // namespace qv
