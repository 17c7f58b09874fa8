// Feeds arbitrary bytes to the per-file tag reader as a file on disk.
//
// Input layout:
//
//   offset  size  field
//   0       1     selector: extension = kExtensions[selector % 8],
//                 tag language = (selector / 8) % 9
//   1       rest  the file's content
//
// tools/make-fuzz-seeds writes real files in this layout. Every text left in
// the record must end within its buffer (the library build copies up to the
// end). A second read, with one open, read or seek failing, must close the
// file on every path: a job reads 150,000 files.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/faulty_file_door.h"
#include "tags/text/text_encoding.h"
#include "tags/track_tags.h"

namespace {

constexpr const char* kExtensions[8] = {".mp3", ".m4a",  ".mp4", ".wav",
                                        ".aac", ".aiff", ".Mp3", ".ogg"};

std::string& Folder() {
  static std::string folder;
  return folder;
}

void RemoveFolder() { rmdir(Folder().c_str()); }

const std::string& FuzzFolder() {
  if (Folder().empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qvfuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    Folder() = pattern;
    std::atexit(RemoveFolder);
  }
  return Folder();
}

bool WriteWhole(const std::string& path, const uint8_t* data, size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

void CheckTerminated(const uint16_t* text, size_t bytes) {
  for (size_t i = 0; i < bytes / 2; ++i)
    if (text[i] == 0) return;
  std::fprintf(stderr, "a text runs off its %zu-byte buffer\n", bytes);
  std::abort();
}

// The lowest free descriptor: it moves when a descriptor was left open.
int LowestFreeDescriptor() {
  int fd = open("/dev/null", O_RDONLY);
  if (fd >= 0) close(fd);
  return fd;
}

void CheckRecord(const qv::TrackTagsStorage& s, size_t file_size) {
  CheckTerminated(s.genre, qv::kGenreBytes), CheckTerminated(s.artist, qv::kArtistBytes);
  CheckTerminated(s.album, qv::kAlbumBytes), CheckTerminated(s.title, qv::kTitleBytes);
  CheckTerminated(s.path, qv::kPathBytes);
  if (s.tags.FileSize != file_size) std::abort();
}

int ReadOnce(const std::string& path, int language, qv::TrackTagsStorage* storage) {
  int before = LowestFreeDescriptor();
  int status = qv::GetTrackTags(path.c_str(), &storage->tags, language, (Folder() + "/").c_str());
  if (status != 0 && status != 2) std::abort();
  if (LowestFreeDescriptor() != before) {
    std::fprintf(stderr, "a descriptor was left open\n");
    std::abort();
  }
  return status;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string& folder = FuzzFolder();
  const char* extension = kExtensions[data[0] % 8];
  int language = (data[0] / 8) % qv::kTagLanguageCount;
  std::string path = folder + "/track" + extension;
  if (!WriteWhole(path, data + 1, size - 1)) std::abort();

  qv::TrackTagsStorage storage;
  if (ReadOnce(path, language, &storage) == 0) CheckRecord(storage, size - 1);

  static qv::test::FaultyFileDoor door;
  const qv::test::FileOp ops[3] = {qv::test::FileOp::kOpen, qv::test::FileOp::kRead,
                                   qv::test::FileOp::kSeek};
  door.FailNth(ops[size % 3], 1 + static_cast<int>((size / 3) % 6));
  qv::SetFileDoor(&door);
  qv::TrackTagsStorage failed;
  if (ReadOnce(path, language, &failed) == 0) CheckRecord(failed, size - 1);
  qv::SetFileDoor(nullptr);
  unlink(path.c_str());
  return 0;
}
