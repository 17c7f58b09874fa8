#include "job/backup.h"

#include <cstdio>
#include <string>
#include <vector>

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
    ClearBackupPaths();
    return false;
  }
  if (check_library(root, kind) != 0) {
    g_backup_dir[0] = 0;
    return true;
  }
  std::snprintf(g_backup_dir, sizeof g_backup_dir, "%s%s/", root, top);
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
  RemoveLibraryFiles();
  if (g_backup_dir[0] == 0) return 1;
  bool all = true;
  for (const char* name : kSavedFiles) {
    const bool ok = CopyFileNoOverwrite(InDir(g_backup_dir, name, ".bak").c_str(),
                                        InDir(g_library_dir, name).c_str());
    all = all && ok;
  }
  // A copy that did not come back leaves the .bak files as the only good
  // library on the drive: they stay for the next job to find them.
  if (!all) return 1;
  RemoveBackups();
  ClearBackupPaths();
  return 1;
}

}  // namespace qv
