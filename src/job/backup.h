// Copies of the three library files kept next to the library directory while
// a job runs: discarded when the job succeeds, put back when it fails or is
// cancelled, so the drive ends either with the new library or the old one.
#pragma once

#include <cstdint>
#include <string>

namespace qv {

// Empties LibraryDir and BackupDir.
void ClearBackupPaths();
// Copies the library files of the drive (root with trailing "/") to .bak
// files, all three of a complete library, else those that are there; copies
// and directory are flushed. true ready for the job, false the copies failed
// or the library folder cannot be written (no copy is left and the library
// is untouched). check_library answers 0 when the three files are on the
// drive. An interrupted job is recovered first, by RecoverInterruptedJob.
bool BackupLibrary(const char* root, uint32_t kind,
                   int (*check_library)(const char* root, uint32_t kind));
// Flushes the new library and its directory, then removes the copies: 1, or
// 0 when the library could not be flushed and the copies are still needed.
int DiscardBackup();
// Removes what the job wrote and puts the copies back. When a copy does not
// come back, the copies stay and BackupDir keeps naming them.
int RestoreLibrary();
int RemoveBackups();
// Removes the job's own files (the library files and the update's work
// files) from LibraryDir: 0 when it is not a directory, otherwise 1.
int RemoveLibraryFiles();

// Whether all three .bak copies are in the top directory, as an interrupted
// job leaves them.
bool InterruptedJobBackup(const char* root, uint32_t kind);
// When an interrupted job left its copies and the library beside them does
// not pass the structural check, puts the copies back; removes an update's
// leftover work files. false when a copy could not come back.
bool RecoverInterruptedJob(const char* root, uint32_t kind);

// Every structural rule of the library on the drive: kReadOk, or the
// reader's failure with the fault noted for the message after the alert.
int CheckLibraryOnDrive(const char* root, uint32_t kind);

// The top directory of the drive (root with trailing "/"), with "/".
std::string TopDir(const char* root, uint32_t kind);

const char* LibraryDir();
const char* BackupDir();

}  // namespace qv
