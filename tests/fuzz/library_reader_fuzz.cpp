// Feeds arbitrary bytes to the library reader as the three library files.
//
// Input layout:
//
//   offset  size  field
//   0       2     n1: bytes of QVTL.DB (little-endian, cut to what is left)
//   2       2     n2: bytes of QVBL.DB (likewise)
//   4       n1    QVTL.DB
//   4 + n1  n2    QVBL.DB
//   ...     rest  QVDB.DB
//
// Whatever the files claim, the reader must stay inside the bytes it was
// given, and every result must be one of its three statuses.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "library/files/library_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  std::span<const uint8_t> all(data, size);
  size_t n1 = all[0] | (all[1] << 8);
  size_t n2 = all[2] | (all[3] << 8);
  std::span<const uint8_t> rest = all.subspan(4);
  if (n1 > rest.size()) n1 = rest.size();
  std::span<const uint8_t> tracks = rest.first(n1);
  rest = rest.subspan(n1);
  if (n2 > rest.size()) n2 = rest.size();
  std::span<const uint8_t> browse = rest.first(n2);
  std::span<const uint8_t> index = rest.subspan(n2);

  qv::ReadLibrary lib;
  qv::ReadFault fault;
  // Each parser on its own, so that a fault in one file does not hide the others.
  int r1 = qv::ParseTrackList(tracks, &lib, &fault);
  int r2 = qv::ParseBrowseLists(browse, &lib, &fault);
  int r3 = qv::ParseLibraryIndex(index, &lib, &fault);
  for (int r : {r1, r2, r3})
    if (r != qv::kReadOk && r != qv::kReadDamaged) std::abort();
  if (r1 == qv::kReadOk && r2 == qv::kReadOk && r3 == qv::kReadOk) {
    int r = qv::CheckLibraryConsistency(lib, &fault);
    if (r != qv::kReadOk && r != qv::kReadDamaged) std::abort();
    if (r == qv::kReadOk) {
      qv::CheckCreateStatistics(lib, &fault);
      qv::DeriveCreateStats(lib);
      for (const qv::ReadPage& page : lib.pages) qv::LibraryTextToUtf8(page.texts[3]);
    }
  }
  return 0;
}
