// The few whole-file operations of the library backup: copy, remove, list and
// the type of an entry. Opening, reading, writing and removing go through the
// file door, so tests can make any of them fail.
#pragma once

#include <string>
#include <vector>

namespace qv {

// Copies source to target and flushes the copy: true on success. Fails when
// the source is missing or is not a regular file (a link is not followed),
// or when the target already exists (it is never overwritten); a partial
// target left by a failed copy is removed.
bool CopyFileNoOverwrite(const char* source, const char* target);

// Deletes a path: true on success.
bool RemovePath(const char* path);

// The names of the entries of a directory, without "." and "..": false when
// the directory cannot be read.
bool ListDirectory(const char* path, std::vector<std::string>* names);

// Whether the entry itself (a link is not followed) is a regular file.
bool IsRegularFileNoFollow(const char* path);

// Whether the entry itself is a directory: a link to one is not, so a
// crafted drive cannot send a write or a removal elsewhere.
bool IsDirectoryNoFollow(const char* path);

// Flushes a directory's entries (files created, renamed or removed in it) to
// the drive: true on success, also on a file system that has nothing to
// flush for directories.
bool SyncDirectory(const char* path);

}  // namespace qv
