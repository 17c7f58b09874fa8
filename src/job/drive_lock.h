// One job per drive: a job holds an advisory lock on the library's top
// directory for its whole run, so a second job on the same drive, from any
// front end, is refused before it changes anything. The lock lives in the
// kernel, never in a file on the drive, and goes with the process however
// it ends.
#pragma once

#include <cstdint>

namespace qv {

// Locks the top directory of the drive (root with trailing "/"), making it
// when missing: a descriptor that holds the lock, or -1 with errno
// EWOULDBLOCK when another job holds it, or another errno when the top
// directory cannot be made or is not a directory itself; the failure is
// noted for the message after the alert.
int LockLibraryDrive(const char* root, uint32_t kind);
void UnlockLibraryDrive(int lock);

// Whether a job holds the drive now; makes nothing. A front end asks before
// its questions, the lock itself still decides.
bool LibraryDriveBusy(const char* root, uint32_t kind);

}  // namespace qv
