// Constants and the fault helper shared by the parts of the library reader.
#pragma once

#include <cstdint>
#include <string>

#include "library/files/library_reader.h"

namespace qv {

inline constexpr uint32_t kReadMaxTracks = 150000;
inline constexpr uint32_t kReadNoNameId = 0xFFFFFFFF;
inline constexpr uint32_t kReadOverflowId = 0xFFFFFFFE;
// Distinct names a category can number: genre, artist, album.
inline constexpr uint32_t kReadNameLimit[3] = {1000, 150000, 150000};
// The index in parent of a node without a parent.
inline constexpr uint32_t kReadNoParent = 0x1FFFFF;

// A library file is read whole, but never more than this: far beyond the
// largest valid file, so a runaway old tail cannot exhaust memory.
inline constexpr uint64_t kMaxReadBytes = 256u << 20;

// What a file's length claim is held against, for fault messages: the bytes
// on disk, or the reader's limit when the file was cut to it, so that the
// limit does not pass for the size of the file.
inline std::string BytesReadText(uint64_t size) {
  if (size >= kMaxReadBytes)
    return "the " + std::to_string(kMaxReadBytes) + " bytes that the reader takes of a file at most";
  return "the " + std::to_string(size) + " bytes on disk";
}

// Records the fault (when fault is not null) and returns status.
int Fail(ReadFault* fault, const char* file, uint32_t offset, int status, std::string message);

// The order lists against the collation of the pages' texts, and the name ids
// against the names.
int CheckCollation(const ReadLibrary& lib, ReadFault* fault);

// Whether two texts are one name of category c (0 genre, 1 artist, 2 album)
// by the collation's keys.
bool SameReadName(const std::u16string& a, const std::u16string& b, uint32_t c);

}  // namespace qv
