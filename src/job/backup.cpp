#include "job/backup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "library/files/library_files.h"
#include "library/files/library_reader.h"
#include "platform/file_door.h"
#include "platform/file_failure.h"
#include "platform/file_ops.h"

namespace qv {
namespace {

// Saved in this order; the copies sit in the top directory, beside LIBRARY.
const char* const kSavedFiles[3] = {"QVDB.DB", "QVTL.DB", "QVBL.DB"};
// Every name a job writes in the library directory; nothing else there is
// the job's to remove.
const char* const kJobFiles[5] = {"QVTL.DB", "QVBL.DB", "QVDB.DB", "QVTB.DB", "QVTA.LST"};

char g_library_dir[1024];
char g_backup_dir[1024];
bool g_saved[3];  // which of kSavedFiles have a copy

std::string InDir(const char* dir, const char* name, const char* suffix = "") {
  return std::string(dir) + name + suffix;
}

// Removes the job's own files from a library directory that is a directory
// itself: a link there points off the drive, and nothing is removed.
void RemoveJobFiles(const std::string& dir) {
  if (!IsDirectoryNoFollow(dir.c_str())) return;
  for (const char* name : kJobFiles) {
    const std::string path = dir + name;
    if (IsRegularFileNoFollow(path.c_str())) RemovePath(path.c_str());
  }
}

// Copies the saved files back from top to dir and flushes them: true when
// every one came back.
bool CopyBack(const std::string& top, const std::string& dir, const bool* saved) {
  // A library folder that went is made again for the copies.
  if (IsDirectoryNoFollow(top.c_str())) Files().Mkdir(dir.c_str(), 0777);
  if (!IsDirectoryNoFollow(dir.c_str())) return false;
  bool all = true;
  for (int i = 0; i < 3; ++i) {
    if (!saved[i]) continue;
    const bool ok = CopyFileNoOverwrite(InDir(top.c_str(), kSavedFiles[i], ".bak").c_str(),
                                        InDir(dir.c_str(), kSavedFiles[i]).c_str());
    all = all && ok;
  }
  return all && SyncDirectory(dir.c_str());
}

// Flushes the library files and the directories that name them, so that a
// power cut after the copies are gone still finds the new library. A job
// that changed nothing may have no library to flush.
bool SyncLibrary(const std::string& dir) {
  for (const char* name : kSavedFiles) {
    const std::string path = dir + name;
    if (!IsRegularFileNoFollow(path.c_str())) continue;
    const int fd = OpenRegularFile(path.c_str(), O_RDONLY | O_NOFOLLOW, 0);
    const bool ok = fd >= 0 && Files().Fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0) Files().Close(fd);
    if (!ok) {
      NoteFileFailure(path.c_str(), error, -1, "");
      return false;
    }
  }
  const std::string top = dir.substr(0, dir.size() - sizeof "LIBRARY/" + 1);
  return !IsDirectoryNoFollow(dir.c_str()) ||
         (SyncDirectory(dir.c_str()) && SyncDirectory(top.c_str()));
}

}  // namespace

std::string TopDir(const char* root, uint32_t kind) {
  return std::string(root) + TopDirectoryName(kind) + "/";
}

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

bool InterruptedJobBackup(const char* root, uint32_t kind) {
  const std::string top = TopDir(root, kind);
  if (!IsDirectoryNoFollow(top.c_str())) return false;
  for (const char* name : kSavedFiles) {
    if (!IsRegularFileNoFollow(InDir(top.c_str(), name, ".bak").c_str())) return false;
  }
  return true;
}

bool RecoverInterruptedJob(const char* root, uint32_t kind) {
  const std::string top = TopDir(root, kind);
  const std::string dir = top + "LIBRARY/";
  if (InterruptedJobBackup(root, kind)) {
    ReadLibrary library;
    ReadTracks tracks;
    ReadFault fault;
    // A library that holds together is newer than the copies, which are
    // then stale; anything else is a job's half-written work.
    if (CheckLibraryFiles(root, kind, &library, &tracks, &fault) != kReadOk) {
      RemoveJobFiles(dir);
      const bool all[3] = {true, true, true};
      if (!CopyBack(top, dir, all)) return false;
    }
  }
  // Work files of an update that never finished.
  for (const char* name : {"QVTB.DB", "QVTA.LST"}) {
    const std::string path = dir + name;
    if (IsDirectoryNoFollow(dir.c_str()) && IsRegularFileNoFollow(path.c_str()))
      RemovePath(path.c_str());
  }
  return true;
}

bool BackupLibrary(const char* root, uint32_t kind,
                   int (*check_library)(const char* root, uint32_t kind)) {
  const std::string top = TopDir(root, kind);
  const int n = std::snprintf(g_library_dir, sizeof g_library_dir, "%sLIBRARY/", top.c_str());
  if (n < 0 || static_cast<size_t>(n) >= sizeof g_library_dir ||
      top.size() >= sizeof g_backup_dir) {
    NoteFileFailure(root, ENAMETOOLONG, -1, "");
    ClearBackupPaths();
    return false;
  }
  // A library folder the job cannot write to is refused before any copy.
  if (IsDirectoryNoFollow(g_library_dir) &&
      faccessat(AT_FDCWD, g_library_dir, W_OK, AT_EACCESS) != 0) {
    NoteFileFailure(g_library_dir, errno, -1, "");
    ClearBackupPaths();
    return false;
  }
  // An incomplete library is saved too: a failed job must not cost the
  // owner the files that were there. Behind a link there is nothing of the
  // drive's to save.
  const bool real = IsDirectoryNoFollow(top.c_str()) && IsDirectoryNoFollow(g_library_dir);
  const bool complete = real && check_library(root, kind) == 0;
  bool any = false;
  for (int i = 0; i < 3; ++i) {
    g_saved[i] =
        complete || (real && IsRegularFileNoFollow(InDir(g_library_dir, kSavedFiles[i]).c_str()));
    any = any || g_saved[i];
  }
  if (!any) {
    g_backup_dir[0] = 0;
    return true;
  }
  std::snprintf(g_backup_dir, sizeof g_backup_dir, "%s", top.c_str());
  // Copies left by an interrupted run would make the copies fail.
  RemoveBackups();
  bool all = true;
  for (int i = 0; i < 3; ++i) {
    if (!g_saved[i]) continue;
    const bool ok = CopyFileNoOverwrite(InDir(g_library_dir, kSavedFiles[i]).c_str(),
                                        InDir(g_backup_dir, kSavedFiles[i], ".bak").c_str());
    all = all && ok;
  }
  // The copies must be on the drive for good before the job writes a byte.
  if (all && SyncDirectory(g_backup_dir)) return true;
  RemoveBackups();
  ClearBackupPaths();
  return false;
}

int DiscardBackup() {
  if (g_library_dir[0] != 0 && !SyncLibrary(g_library_dir)) return 0;
  if (g_backup_dir[0] != 0) {
    RemoveBackups();
    SyncDirectory(g_backup_dir);
    ClearBackupPaths();
  }
  return 1;
}

int CheckLibraryOnDrive(const char* root, uint32_t kind) {
  ReadLibrary library;
  ReadTracks tracks;
  ReadFault fault;
  const int r = CheckLibraryFiles(root, kind, &library, &tracks, &fault);
  if (r == kReadOk) return kReadOk;
  const std::string path = TopDir(root, kind) + "LIBRARY/" + fault.file;
  const std::string reason =
      (r == kReadDamaged ? "damaged at byte " + std::to_string(fault.offset) + ": " : "") +
      fault.message + "; Create rebuilds the library";
  NoteFileFailure(path.c_str(), 0, r == kReadDamaged ? fault.offset : -1, reason.c_str());
  return r;
}

int RemoveLibraryFiles() {
  if (!IsDirectoryNoFollow(g_library_dir)) return 0;
  RemoveJobFiles(g_library_dir);
  return 1;
}

int RestoreLibrary() {
  RemoveLibraryFiles();
  if (g_backup_dir[0] == 0) return 1;
  // A copy that did not come back leaves the .bak files as the only good
  // library on the drive: they stay for the next job to find them.
  if (!CopyBack(g_backup_dir, g_library_dir, g_saved)) return 1;
  RemoveBackups();
  SyncDirectory(g_backup_dir);
  ClearBackupPaths();
  return 1;
}

}  // namespace qv
