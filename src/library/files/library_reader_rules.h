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
    return "the " + std::to_string(kMaxReadBytes) +
           " bytes that the reader takes of a file at most";
  return "the " + std::to_string(size) + " bytes on disk";
}

// A count or offset in a fault message.
inline std::string Num(uint32_t v) {
  return std::to_string(v);
}

// Records the fault (when fault is not null) and returns status.
int Fail(ReadFault* fault, const char* file, uint32_t offset, int status, std::string message);

// ParseBrowseLists and ParseLibraryIndex on the first bytes of a file of
// size bytes: QVBL.DB up to its file length, QVDB.DB up to its two chunks.
int ParseBrowseFile(std::span<const uint8_t> bytes, uint64_t size, ReadLibrary* out,
                    ReadFault* fault);
int ParseIndexFile(std::span<const uint8_t> bytes, uint64_t size, ReadLibrary* out,
                   ReadFault* fault);

// The order lists against the collation of the pages' texts, and the name ids
// against the names.
int CheckCollation(const ReadLibrary& lib, const ReadTracks& tracks, ReadFault* fault);

// The kept collation key at place, its length first.
inline const char16_t* ReadKey(const ReadTracks& tracks, uint32_t place) {
  return tracks.keys[place >> 16].data() + (place & 0xFFFF);
}

// Whether two kept keys are one name of category c (0 genre, 1 artist, 2 album).
bool SameReadKey(const char16_t* a, const char16_t* b, uint32_t c);

// Counts the title and path of the page of the next rank for the statistics.
void CountPageTexts(ReadTracks* tracks, const ReadPage& page);

}  // namespace qv
