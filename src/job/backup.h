// Copies of the three library files kept next to the library directory while
// a job runs: discarded when the job succeeds, put back when it fails or is
// cancelled, so the drive ends either with the new library or the old one.
#pragma once

#include <cstdint>

namespace qv {

// Empties LibraryDir and BackupDir.
void ClearBackupPaths();
// Copies the library files of the drive (root with trailing "/") to .bak
// files when all three are there: true ready for the job, false the copies
// failed (none is left and the library is untouched). check_library answers
// 0 when the three files are on the drive. Copies left by a restore that
// failed, with no complete library beside them, are put back first.
bool BackupLibrary(const char* root, uint32_t kind,
                   int (*check_library)(const char* root, uint32_t kind));
int DiscardBackup();
// Empties the library directory and puts the copies back. When a copy does
// not come back, the copies stay and BackupDir keeps naming them.
int RestoreLibrary();
int RemoveBackups();
int RemoveLibraryFiles();

const char* LibraryDir();
const char* BackupDir();

}  // namespace qv
