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

// Records the fault (when fault is not null) and returns status.
int Fail(ReadFault* fault, const char* file, uint32_t offset, int status, std::string message);

// The order lists against the collation of the pages' texts, and the name ids
// against the names.
int CheckCollation(const ReadLibrary& lib, ReadFault* fault);

// Whether two texts are one name of category c (0 genre, 1 artist, 2 album)
// by the collation's keys.
bool SameReadName(const std::u16string& a, const std::u16string& b, uint32_t c);

}  // namespace qv
