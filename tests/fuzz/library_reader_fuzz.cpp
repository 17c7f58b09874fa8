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
// given, and every result must be one of its three statuses. The engine's
// page cursor walks the same QVTL.DB: it too must stay inside the bytes, and
// on a track list the reader accepts it must find the same pages and texts.
//
// The streaming check of a job reads the same three files from a memory door
// and must agree with the full reader on the verdict and the first fault.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "library/files/library_files.h"
#include "library/files/library_reader.h"
#include "library/files/track_page_cursor.h"
#include "platform/byte_order.h"
#include "platform/file_door.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

// Walks the pages as the update's loader does; `lib` is the reader's view
// when it accepted the file, null otherwise.
void WalkWithCursor(std::span<const uint8_t> file, const qv::ReadLibrary* lib) {
  if (file.size() < 16) return;
  uint32_t at = qv::LoadLe32(file, 4);
  uint32_t count = qv::LoadLe32(file, 12);
  uint32_t length = std::min<uint32_t>(qv::LoadLe32(file, 8), static_cast<uint32_t>(file.size()));
  for (uint32_t t = 0; t < count && at <= length; ++t) {
    qv::TrackPageCursor c;
    int r = qv::OpenTrackPage(&c, file.subspan(at, length - at), at);
    for (uint32_t kind = 0; r == qv::kPageOk; ++kind) {
      Require(c.page.data() == file.data() + at && c.page.size() <= length - at);
      qv::TrackChunk chunk;
      if ((r = qv::NextTrackChunk(&c, &chunk)) != qv::kPageOk) break;
      Require(chunk.offset + 24 + chunk.text_bytes <= c.page.size());
      uint16_t text[257];
      std::u16string s(text, text + qv::CopyChunkText(c, chunk, text, 256));
      if (lib == nullptr) continue;
      const qv::ReadPage& page = lib->pages[t];
      Require(chunk.kind == kind && at + chunk.offset == page.chunk_offsets[kind]);
      Require(s == page.texts[kind] && (kind > 2 || chunk.name_id == page.name_ids[kind]));
      Require(kind < 5);
    }
    // A page the reader accepts has its five chunks; a failure lies in the page.
    if (r != qv::kPageEnd)
      return Require(lib == nullptr && c.fault_offset - at < std::max<size_t>(c.page.size(), 48));
    at += static_cast<uint32_t>(c.page.size());
  }
  Require(lib == nullptr || at == lib->track_file_length);
}

// Serves the three library files of any drive from memory: each open hands
// out a fresh memory file holding the fuzzed bytes; every other path is missing.
class MemoryLibraryDoor : public qv::SystemFileDoor {
 public:
  std::span<const uint8_t> files[3];

  int Open(const char* path, int, unsigned) override {
    const char* names[3] = {qv::kTrackFileName, qv::kBrowseFileName, qv::kIndexFileName};
    for (int i = 0; i < 3; ++i) {
      if (!std::string_view(path).ends_with(names[i])) continue;
      const int fd = memfd_create(names[i], MFD_CLOEXEC);
      const ssize_t n = static_cast<ssize_t>(files[i].size());
      if (fd < 0 || write(fd, files[i].data(), files[i].size()) != n || lseek(fd, 0, SEEK_SET))
        std::abort();
      return fd;
    }
    errno = ENOENT;
    return -1;
  }
};

// The streaming check against the full reader, both reading through the door:
// the same verdict and first fault, and on a sound library the same derived
// statistics and the same verdict of the create's statistics.
void CompareStreamingCheck(std::span<const uint8_t> tracks, std::span<const uint8_t> browse,
                           std::span<const uint8_t> index) {
  static MemoryLibraryDoor door;
  door.files[0] = tracks;
  door.files[1] = browse;
  door.files[2] = index;
  qv::SetFileDoor(&door);
  qv::ReadLibrary full, part;
  qv::ReadTracks facts;
  qv::ReadFault a, z;
  int r = qv::ReadLibraryFiles("/memory", qv::kFileSystemFat, &full, &a);
  int s = qv::CheckLibraryFiles("/memory", qv::kFileSystemFat, &part, &facts, &z);
  qv::SetFileDoor(nullptr);
  if (r == qv::kReadOk && s == qv::kReadOk) {
    const qv::DerivedStats x = qv::DeriveCreateStats(full), y = qv::DeriveCreateStats(part, facts);
    if (std::memcmp(&x, &y, sizeof x) != 0) std::abort();
    r = qv::CheckCreateStatistics(full, &a);
    s = qv::CheckCreateStatistics(part, facts, &z);
  }
  if (s != r) std::abort();
  if (r == qv::kReadOk) return;
  if (std::strcmp(z.file, a.file) != 0 || z.offset != a.offset || z.message != a.message)
    std::abort();
}

}  // namespace

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
  WalkWithCursor(tracks, r1 == qv::kReadOk ? &lib : nullptr);
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
  CompareStreamingCheck(tracks, browse, index);
  return 0;
}
