// The least work any tag reader must do for one file: the system calls
// alone, with no parsing or text conversion. The benchmark holds the real
// reader against it.
#pragma once

#include <cstdint>

namespace qv::bench {

// MP3 and the like: open, read the 10-byte ID3v2 header, read the tag body
// in one piece, seek to 128 bytes before the end, read the ID3v1 tag, close.
// Returns the bytes read, or -1.
int64_t MinimalId3Read(const char* path);

// M4A: open, read the 8-byte header of each top-level atom and seek past it
// until "moov", read "moov" in one piece, close. Returns the bytes read, or
// -1.
int64_t MinimalMp4Read(const char* path);

}  // namespace qv::bench
