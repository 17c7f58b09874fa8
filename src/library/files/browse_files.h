// The two halves of WriteBrowseFiles: the browse lists QVBL.DB and the index
// file QVDB.DB, which summarises the lists the first half wrote.
#pragma once

#include <cstdint>

#include "library/builder/library_builder.h"

namespace qv {

inline constexpr uint32_t kMaxBrowseLists = 3;
// Browse lists per category section and the node region of each section's
// first list (the others follow it).
inline constexpr uint32_t kBrowseListCount[kCategoryCount] = {3, 2, 1, 0};
inline constexpr uint32_t kBrowseTopRegion[kCategoryCount] = {0, 3, 5, 6};

// 1 written, 0 failure (after an ErrorLog entry). entries receives the number
// of entries written for each browse list.
int WriteBrowseLists(LibraryBuilder* b, uint32_t entries[kCategoryCount][kMaxBrowseLists]);
int WriteLibraryIndex(LibraryBuilder* b, const uint32_t entries[kCategoryCount][kMaxBrowseLists]);

}  // namespace qv
