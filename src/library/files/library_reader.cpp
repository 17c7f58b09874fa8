// Loading the library files and reading QVTL.DB.
//
// QVTL.DB header (16 bytes):
//   0  4  tag "qvtl"
//   4  4  header size, 16
//   8  4  file length: the end of the valid content
//  12  4  track count
// TrackPage head (48 bytes), then five string chunks:
//   0  4  tag "qvti"         4  4  head size, 48      8  4  page size
//  12  4  chunk count, 5    16  1  file type         17  1  flag (0 or 1)
//  18  2  zero              20  4  track index       24  4  track id
//  28  4  file size         32  4  reserved 1        36  2  track number
//  38  2  reserved 3        40  4  reserved 2        44  4  reserved 4 (bits 23-31 zero)
// String chunk (24 bytes, then P bytes of text):
//   0  4  tag "qvst"         4  4  head size, 24      8  4  chunk size, 24 + P
//  12  4  string kind       16  4  name id (0 for title and path)
//  20  4  P: the UTF-16LE text with its zero unit, padded with zeros to 4
#include "library/files/library_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "library/files/library_files.h"
#include "library/files/library_reader_rules.h"
#include "platform/byte_order.h"
#include "platform/file_door.h"
#include "tags/text/text_encoding.h"

namespace qv {
namespace {

constexpr uint32_t kPageHeadSize = 48;
constexpr uint32_t kChunkHeadSize = 24;
constexpr uint32_t kSmallestPage = kPageHeadSize + 5 * (kChunkHeadSize + 4);
constexpr uint32_t kLargestPage = 1060;
// Largest text area of each string kind, terminator included.
constexpr uint32_t kTextLimit[5] = {60, 96, 96, 128, 512};
constexpr const char* kKindName[5] = {"genre", "artist", "album", "title", "path"};

// Bytes of a library file from byte base on: the whole file (base 0) or a
// window of it. Offsets are the file's.
struct Bytes {
  std::span<const uint8_t> b;
  uint32_t base = 0;
  uint8_t At(uint32_t at) const { return b[at - base]; }
  uint16_t Le16(uint32_t at) const { return LoadLe16(b, at - base); }
  uint32_t Le32(uint32_t at) const { return LoadLe32(b, at - base); }
  bool Tag(uint32_t at, const char (&tag)[5]) const { return HasTag(b, at - base, tag); }
};

// Opens a library file and finds its size (at most kMaxReadBytes), leaving
// the descriptor at the start.
int OpenLibraryFile(const std::string& path, const char* name, int* fd, uint64_t* size,
                    ReadFault* fault) {
  FileDoor& files = Files();
  *fd = OpenRegularFile(path.c_str(), O_RDONLY | O_NOFOLLOW, 0);
  if (*fd < 0)
    return Fail(fault, name, 0, kReadUnavailable,
                "cannot open " + path + ": " + std::strerror(errno));
  int64_t end = files.Seek(*fd, 0, SEEK_END);
  if (end < 0 || files.Seek(*fd, 0, SEEK_SET) != 0) {
    files.Close(*fd);
    *fd = -1;
    return Fail(fault, name, 0, kReadUnavailable, "cannot seek in " + path);
  }
  *size = static_cast<uint64_t>(end) < kMaxReadBytes ? static_cast<uint64_t>(end) : kMaxReadBytes;
  return kReadOk;
}

// Reads the next want bytes of fd to the end of bytes. A read that stops
// early is a failed call, not a short file: the size came from the file
// itself a moment before.
int ReadMore(int fd, uint64_t want, std::vector<uint8_t>* bytes, const std::string& path,
             const char* name, ReadFault* fault) {
  const size_t had = bytes->size();
  bytes->resize(had + want);
  int64_t got = want ? ReadFully(fd, bytes->data() + had, want) : 0;
  if (got < 0 || static_cast<uint64_t>(got) != want)
    return Fail(fault, name, 0, kReadUnavailable, "cannot read " + path);
  return kReadOk;
}

// Reads one string chunk at pos (inside a page ending at page_end).
int ParseStringChunk(const Bytes& b, uint32_t pos, uint32_t page_end, uint32_t kind, ReadPage* page,
                     uint32_t* next, ReadFault* f) {
  const char* fn = kTrackFileName;
  auto what = [&] {
    return std::string("the ") + kKindName[kind] + " chunk of the page at " +
           std::to_string(page->offset);
  };
  if (page_end - pos < kChunkHeadSize)
    return Fail(f, fn, pos, kReadDamaged, what() + " runs past its page");
  if (!b.Tag(pos, "qvst"))
    return Fail(f, fn, pos, kReadDamaged, what() + " lacks its tag \"qvst\"");
  if (b.Le32(pos + 4) != kChunkHeadSize)
    return Fail(f, fn, pos + 4, kReadDamaged,
                what() + " has head size " + std::to_string(b.Le32(pos + 4)));
  uint32_t size = b.Le32(pos + 8);
  if (size < kChunkHeadSize + 4 || size > page_end - pos)
    return Fail(f, fn, pos + 8, kReadDamaged, what() + " claims size " + std::to_string(size));
  if (b.Le32(pos + 12) != kind)
    return Fail(f, fn, pos + 12, kReadDamaged,
                what() + " carries string kind " + std::to_string(b.Le32(pos + 12)));
  uint32_t id = b.Le32(pos + 16);
  if (kind <= 2) {
    if (id == kReadNoNameId) return Fail(f, fn, pos + 16, kReadDamaged, what() + " has no name id");
    if (id != kReadOverflowId && id >= kReadNameLimit[kind])
      return Fail(f, fn, pos + 16, kReadDamaged,
                  what() + " has name id " + std::to_string(id) + " beyond the limit");
    page->name_ids[kind] = id;
  } else if (id != 0) {
    return Fail(f, fn, pos + 16, kReadDamaged,
                what() + " has name id " + std::to_string(id) + ", not 0");
  }
  uint32_t area = b.Le32(pos + 20);
  if (area != size - kChunkHeadSize || area % 4 != 0)
    return Fail(f, fn, pos + 20, kReadDamaged,
                what() + " has text area " + std::to_string(area) + " in a chunk of " +
                    std::to_string(size));
  uint32_t text = pos + kChunkHeadSize;
  uint32_t units = 0;
  while (units * 2 < area && b.Le16(text + units * 2) != 0) ++units;
  if (units * 2 >= area)
    return Fail(f, fn, text, kReadDamaged, what() + " has no zero unit in its text area");
  uint32_t length = units * 2 + 2;
  if (length > kTextLimit[kind])
    return Fail(f, fn, text, kReadDamaged,
                what() + " holds " + std::to_string(length) + " text bytes, more than " +
                    std::to_string(kTextLimit[kind]));
  if (area != (length + 3) / 4 * 4)
    return Fail(f, fn, pos + 20, kReadDamaged,
                what() + " has text area " + std::to_string(area) + " for a text of " +
                    std::to_string(length) + " bytes");
  for (uint32_t i = text + length; i < text + area; ++i)
    if (b.At(i) != 0) return Fail(f, fn, i, kReadDamaged, what() + " has a nonzero pad byte");
  page->chunk_offsets[kind] = pos;
  page->texts[kind].resize(units);
  for (uint32_t u = 0; u < units; ++u)
    page->texts[kind][u] = static_cast<char16_t>(b.Le16(text + u * 2));
  *next = pos + size;
  return kReadOk;
}

// Reads the page of rank index at pos; the valid content ends at end. b holds
// at least the smaller of end - pos and kLargestPage bytes from pos on.
int ParsePage(const Bytes& b, uint32_t pos, uint32_t end, uint32_t index, ReadPage* page,
              ReadFault* f) {
  const char* fn = kTrackFileName;
  auto what = [&] { return "page " + std::to_string(index) + " at " + std::to_string(pos); };
  if (end - pos < kPageHeadSize)
    return Fail(f, fn, pos, kReadDamaged, what() + " runs past the file length");
  if (!b.Tag(pos, "qvti"))
    return Fail(f, fn, pos, kReadDamaged, what() + " lacks its tag \"qvti\"");
  if (b.Le32(pos + 4) != kPageHeadSize)
    return Fail(f, fn, pos + 4, kReadDamaged,
                what() + " has head size " + std::to_string(b.Le32(pos + 4)));
  uint32_t size = b.Le32(pos + 8);
  if (size < kSmallestPage || size > kLargestPage)
    return Fail(f, fn, pos + 8, kReadDamaged, what() + " claims page size " + std::to_string(size));
  if (size > end - pos)
    return Fail(f, fn, pos + 8, kReadDamaged, what() + " runs past the file length");
  if (b.Le32(pos + 12) != 5)
    return Fail(f, fn, pos + 12, kReadDamaged,
                what() + " has chunk count " + std::to_string(b.Le32(pos + 12)));
  if (b.At(pos + 17) > 1)
    return Fail(f, fn, pos + 17, kReadDamaged,
                what() + " has flag " + std::to_string(b.At(pos + 17)));
  if (b.Le16(pos + 18) != 0)
    return Fail(f, fn, pos + 18, kReadDamaged, what() + " has nonzero reserved bytes");
  if (b.Le32(pos + 20) != index)
    return Fail(f, fn, pos + 20, kReadDamaged,
                what() + " says it is track " + std::to_string(b.Le32(pos + 20)));
  if (b.Le32(pos + 44) > 0x7FFFFF)
    return Fail(f, fn, pos + 44, kReadDamaged, what() + " has bits 23 to 31 set in its last word");
  page->offset = pos;
  page->file_type = b.At(pos + 16);
  page->flag = b.At(pos + 17);
  page->track_index = index;
  page->track_id = b.Le32(pos + 24);
  page->file_size = b.Le32(pos + 28);
  page->reserved1 = b.Le32(pos + 32);
  page->track_number = b.Le16(pos + 36);
  page->reserved3 = b.Le16(pos + 38);
  page->reserved2 = b.Le32(pos + 40);
  page->reserved4 = b.Le32(pos + 44);
  uint32_t page_end = pos + size;
  uint32_t chunk = pos + kPageHeadSize;
  for (uint32_t kind = 0; kind < 5; ++kind) {
    int r = ParseStringChunk(b, chunk, page_end, kind, page, &chunk, f);
    if (r != kReadOk) return r;
  }
  if (chunk != page_end)
    return Fail(f, fn, pos + 8, kReadDamaged,
                what() + " claims page size " + std::to_string(size) +
                    " but its chunks end at byte " + std::to_string(chunk - pos));
  return kReadOk;
}

// The 16-byte header of QVTL.DB, whose whole size is size: the file length
// and the track count.
int ParseTrackHeader(std::span<const uint8_t> b, uint64_t size, ReadLibrary* out, ReadFault* f) {
  const char* fn = kTrackFileName;
  out->track_file_size = static_cast<uint32_t>(size);
  out->pages.clear();
  if (size < 16) return Fail(f, fn, 0, kReadDamaged, "the file is shorter than its 16-byte header");
  if (!HasTag(b, 0, "qvtl")) return Fail(f, fn, 0, kReadDamaged, "the file lacks its tag \"qvtl\"");
  if (LoadLe32(b, 4) != 16)
    return Fail(f, fn, 4, kReadDamaged,
                "the header size is " + std::to_string(LoadLe32(b, 4)) + ", not 16");
  uint32_t length = LoadLe32(b, 8);
  if (length < 16 || length > size)
    return Fail(
        f, fn, 8, kReadDamaged,
        "the file length " + std::to_string(length) + " does not fit " + BytesReadText(size));
  uint32_t count = LoadLe32(b, 12);
  if (count > kReadMaxTracks || count > (length - 16) / kSmallestPage)
    return Fail(f, fn, 12, kReadDamaged,
                "the track count " + std::to_string(count) + " cannot fit in the file length");
  out->track_file_length = length;
  out->track_count = count;
  return kReadOk;
}

int PagesEndAt(uint32_t length, uint32_t pos, ReadFault* f) {
  if (pos == length) return kReadOk;
  return Fail(f, kTrackFileName, 8, kReadDamaged,
              "the file length is " + std::to_string(length) + " but the pages end at " +
                  std::to_string(pos));
}

// Bytes of the window over QVTL.DB; a page never exceeds kLargestPage.
constexpr uint32_t kWindowBytes = 16 * 1024;

// QVTL.DB page by page through a window, each page handed to AddReadTrack.
int StreamTrackList(int fd, uint64_t size, const std::string& path, ReadLibrary* out,
                    ReadTracks* tracks, ReadFault* f) {
  const char* fn = kTrackFileName;
  std::vector<uint8_t> window;
  window.reserve(kWindowBytes);
  int r = ReadMore(fd, size < 16 ? size : 16, &window, path, fn, f);
  if (r == kReadOk) r = ParseTrackHeader(window, size, out, f);
  if (r != kReadOk) return r;
  const uint32_t length = out->track_file_length;
  tracks->tracks.reserve(out->track_count);
  ReadPage page;
  uint32_t base = 0, pos = 16;
  for (uint32_t i = 0; i < out->track_count; ++i) {
    const uint32_t filled = base + static_cast<uint32_t>(window.size());
    const uint32_t need = length - pos < kLargestPage ? length - pos : kLargestPage;
    if (filled - pos < need) {
      // Slide the window: keep the bytes from pos on, fill up to its size
      // or the file length.
      window.erase(window.begin(), window.begin() + (pos - base));
      base = pos;
      const uint32_t room = kWindowBytes - static_cast<uint32_t>(window.size());
      r = ReadMore(fd, length - filled < room ? length - filled : room, &window, path, fn, f);
      if (r != kReadOk) return r;
    }
    r = ParsePage(Bytes{window, base}, pos, length, i, &page, f);
    if (r != kReadOk) return r;
    AddReadTrack(tracks, page, true);
    pos += LoadLe32(window, pos - base + 8);
  }
  return PagesEndAt(length, pos, f);
}

// QVBL.DB and QVDB.DB whole to their valid content, which is what their
// parsers look at besides the size.
int LoadBrowseAndIndex(const int fds[3], const uint64_t sizes[3], const std::string paths[3],
                       ReadLibrary* out, ReadFault* f) {
  std::vector<uint8_t> bytes;
  int r = ReadMore(fds[1], sizes[1] < 16 ? sizes[1] : 16, &bytes, paths[1], kBrowseFileName, f);
  if (r != kReadOk) return r;
  const uint32_t length = sizes[1] < 16 ? 0 : LoadLe32(bytes, 8);
  if (length > 16 && length <= sizes[1])
    r = ReadMore(fds[1], length - 16, &bytes, paths[1], kBrowseFileName, f);
  if (r != kReadOk) return r;
  r = ParseBrowseFile(bytes, sizes[1], out, f);
  if (r != kReadOk) return r;
  bytes.clear();
  bytes.shrink_to_fit();
  r = ReadMore(fds[2], sizes[2] < 664 ? sizes[2] : 664, &bytes, paths[2], kIndexFileName, f);
  if (r != kReadOk) return r;
  return ParseIndexFile(bytes, sizes[2], out, f);
}

}  // namespace

int Fail(ReadFault* fault, const char* file, uint32_t offset, int status, std::string message) {
  if (fault != nullptr) {
    fault->file = file;
    fault->offset = offset;
    fault->message = std::move(message);
  }
  return status;
}

int ParseTrackList(std::span<const uint8_t> b, ReadLibrary* out, ReadFault* f) {
  if (b.size() > kMaxReadBytes) b = b.first(kMaxReadBytes);
  int r = ParseTrackHeader(b, b.size(), out, f);
  if (r != kReadOk) return r;
  out->pages.resize(out->track_count);
  uint32_t pos = 16;
  for (uint32_t i = 0; i < out->track_count; ++i) {
    r = ParsePage(Bytes{b, 0}, pos, out->track_file_length, i, &out->pages[i], f);
    if (r != kReadOk) return r;
    pos += LoadLe32(b, pos + 8);
  }
  return PagesEndAt(out->track_file_length, pos, f);
}

namespace {

// Opens the three files in the drive's library directory, in file order.
int OpenLibraryFiles(const char* drive_path, uint32_t kind, int fds[3], uint64_t sizes[3],
                     std::string paths[3], ReadFault* fault) {
  std::string drive = drive_path;
  if (drive.empty() || drive.back() != '/') drive += '/';
  const char* names[3] = {kTrackFileName, kBrowseFileName, kIndexFileName};
  for (int i = 0; i < 3; ++i) {
    char path[512];
    if (LibraryPath(path, drive.c_str(), kind, names[i]) != 1)
      return Fail(fault, names[i], 0, kReadUnavailable, "the library path is too long");
    paths[i] = path;
    int r = OpenLibraryFile(paths[i], names[i], &fds[i], &sizes[i], fault);
    if (r != kReadOk) return r;
  }
  return kReadOk;
}

void CloseLibraryFiles(const int fds[3]) {
  for (int i = 0; i < 3; ++i)
    if (fds[i] >= 0) Files().Close(fds[i]);
}

}  // namespace

int ReadLibraryFiles(const char* drive_path, uint32_t kind, ReadLibrary* out, ReadFault* fault) {
  int fds[3] = {-1, -1, -1};
  uint64_t sizes[3] = {};
  std::string paths[3];
  const char* names[3] = {kTrackFileName, kBrowseFileName, kIndexFileName};
  std::vector<uint8_t> bytes[3];
  int r = OpenLibraryFiles(drive_path, kind, fds, sizes, paths, fault);
  for (int i = 0; i < 3 && r == kReadOk; ++i)
    r = ReadMore(fds[i], sizes[i], &bytes[i], paths[i], names[i], fault);
  CloseLibraryFiles(fds);
  if (r == kReadOk) r = ParseTrackList(bytes[0], out, fault);
  if (r == kReadOk) r = ParseBrowseLists(bytes[1], out, fault);
  if (r == kReadOk) r = ParseLibraryIndex(bytes[2], out, fault);
  if (r == kReadOk) r = CheckLibraryConsistency(*out, fault);
  return r;
}

int CheckLibraryFiles(const char* drive_path, uint32_t kind, ReadLibrary* out, ReadTracks* tracks,
                      ReadFault* fault) {
  int fds[3] = {-1, -1, -1};
  uint64_t sizes[3] = {};
  std::string paths[3];
  *tracks = ReadTracks{};
  int r = OpenLibraryFiles(drive_path, kind, fds, sizes, paths, fault);
  if (r == kReadOk) r = StreamTrackList(fds[0], sizes[0], paths[0], out, tracks, fault);
  if (r == kReadOk) r = LoadBrowseAndIndex(fds, sizes, paths, out, fault);
  CloseLibraryFiles(fds);
  if (r == kReadOk) r = CheckLibraryRules(*out, *tracks, fault);
  return r;
}

std::string LibraryTextToUtf8(const std::u16string& text) {
  std::vector<uint16_t> units(text.begin(), text.end());
  return Utf16ToUtf8(units.data(), units.size(), LoneSurrogate::kReplace);
}

}  // namespace qv
