// The last file operation of a job that failed, kept so that a front end can
// tell the user which file and why after the error alert: the alert texts
// themselves are fixed and name no path.
#pragma once

#include <cstdint>

namespace qv {

struct FileFailure {
  char path[1024];    // the file or folder, cut to fit
  int error_number;   // errno of a failed call, 0 for a file that is damaged
  int64_t offset;     // byte offset of the damage, -1 when it does not apply
  char reason[192];   // what was wrong, for a damaged file; empty otherwise
};

// Keeps this failure in place of any earlier one. Written by the job thread,
// read by the front end after the job thread has ended.
void NoteFileFailure(const char* path, int error_number, int64_t offset, const char* reason);
void ClearFileFailure();
// True, with the failure copied out, when one was noted since the last clear.
bool LastFileFailure(FileFailure* out);

}  // namespace qv
