// A build on a temporary drive for the tests of the library-file writers:
// tracks go in as tags, batches are spilled where a test wants them, and the
// written files are read back as bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "library/build/library_builder.h"
#include "library/files/library_files.h"
#include "platform/byte_order.h"
#include "support/temp_dir.h"
#include "tags/track_tags.h"

namespace qv::test {

struct TrackSpec {
  std::u16string genre;
  std::u16string artist;
  std::u16string album;
  std::u16string title;
  std::u16string path;
  uint16_t number = 0xFFFF;
  uint32_t file_size = 4096;
  uint8_t file_type = kFileTypeMp3;
};

inline void PutText(uint16_t* field, size_t bytes, const std::u16string& text) {
  size_t n = std::min(text.size(), bytes / 2 - 1);
  for (size_t i = 0; i < n; ++i) field[i] = static_cast<uint16_t>(text[i]);
  field[n] = 0;
}

inline std::u16string Ascii(const std::string& s) {
  return std::u16string(s.begin(), s.end());
}

// One build through the process's build context, on a drive folder of its own.
class WriterBuild {
 public:
  explicit WriterBuild(const std::string& drive, uint32_t kind = kFileSystemFat) : drive_(drive) {
    ok_ = OpenBuild(drive.c_str(), kind) == kEngineOk;
  }
  ~WriterBuild() { CloseBuild(); }
  WriterBuild(const WriterBuild&) = delete;
  WriterBuild& operator=(const WriterBuild&) = delete;

  bool ok() const { return ok_; }
  LibraryBuilder* b() const { return TheBuildContext().builder; }

  // Adds one track; spills when the batch asks for it, like a job would.
  int Add(const TrackSpec& t) {
    TrackTagsStorage s;
    PutText(s.genre, kGenreBytes, t.genre);
    PutText(s.artist, kArtistBytes, t.artist);
    PutText(s.album, kAlbumBytes, t.album);
    PutText(s.title, kTitleBytes, t.title);
    PutText(s.path, kPathBytes, t.path);
    s.tags.FileSize = t.file_size;
    s.tags.Reserved1 = 0xFFFFFFFF;
    s.tags.Reserved2 = 0xFFFFFFFF;
    s.tags.TrackNumber = t.number;
    s.tags.Reserved3 = 0xFFFF;
    s.tags.Reserved4AndFileType = 0x00FFFFFF | (static_cast<uint32_t>(t.file_type) << 24);
    int added = AddTrackRecord(b(), &s.tags);
    return added == 1 ? Spill() : kEngineOk;
  }

  // Writes the current batch out as if it were full: 0, 3 or 4.
  int Spill() {
    TheBuildContext().spilled = 1;
    for (uint16_t c = kGenre; c <= kTitle; ++c) {
      if (SortBatch(b(), c) != 1 || MergeBatch(b(), b()->batch_tracks, 0) != 1)
        return kEngineBuildFailed;
    }
    if (WriteTrackPages(b()) != 1) return kEngineWriteFailed;
    ResetBatch(b());
    return kEngineOk;
  }

  // The end of a job: final flush and finish; 0 when both succeed.
  int Complete() {
    int flushed = FlushBuild(1);
    return flushed != kEngineOk ? flushed : FinishBuild();
  }

  std::filesystem::path LibraryDir() const {
    return std::filesystem::path(drive_) / "QUORVEN" / "LIBRARY";
  }
  std::vector<uint8_t> File(const char* name) const { return ReadFileBytes(LibraryDir() / name); }

 private:
  std::string drive_;
  bool ok_ = false;
};

inline uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return LoadLe32(bytes, at);
}
inline uint16_t Le16(const std::vector<uint8_t>& bytes, size_t at) {
  return LoadLe16(bytes, at);
}
inline std::string Tag(const std::vector<uint8_t>& bytes, size_t at) {
  return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                     bytes.begin() + static_cast<std::ptrdiff_t>(at) + 4);
}

// The text of a string chunk starting at `at`.
inline std::u16string ChunkText(const std::vector<uint8_t>& bytes, size_t at) {
  std::u16string text;
  uint32_t area = Le32(bytes, at + 20);
  for (uint32_t i = 0; i + 1 < area; i += 2) {
    uint16_t u = Le16(bytes, at + 24 + i);
    if (u == 0) break;
    text.push_back(static_cast<char16_t>(u));
  }
  return text;
}

// The pages of a track list, walked by their sizes up to the header's length.
struct PageView {
  size_t offset;
  uint32_t size;
  uint32_t name_ids[3];
  std::u16string texts[5];
};

inline std::vector<PageView> ReadPages(const std::vector<uint8_t>& file) {
  std::vector<PageView> pages;
  if (file.size() < 16) return pages;
  uint32_t length = Le32(file, 8);
  size_t at = 16;
  for (uint32_t t = 0; t < Le32(file, 12) && at + 48 <= length && length <= file.size(); ++t) {
    PageView page{at, Le32(file, at + 8), {}, {}};
    size_t chunk = at + 48;
    for (int k = 0; k < 5; ++k) {
      if (k < 3) page.name_ids[k] = Le32(file, chunk + 16);
      page.texts[k] = ChunkText(file, chunk);
      chunk += Le32(file, chunk + 8);
    }
    pages.push_back(page);
    at += page.size;
  }
  return pages;
}

}  // namespace qv::test
