// Feeds arbitrary bytes to the per-file tag reader as a file on disk.
//
// Input layout: byte 0 selects the extension (kExtensions[byte % 8]) and the
// tag language ((byte / 8) % 10, 9 the automatic choice); the rest is the file's content.
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
#include "tags/text/code_page_choice.h"
#include "tags/text/text_encoding.h"
#include "tags/track_tags.h"

namespace {

constexpr const char* kExtensions[8] = {".mp3", ".m4a",  ".mp4", ".wav",
                                        ".aac", ".aiff", ".Mp3", ".ogg"};

std::string folder;
void RemoveFolder() {
  rmdir(folder.c_str());
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

void ReadOnce(const std::string& path, int language, size_t file_size) {
  qv::TrackTagsStorage s;
  int before = LowestFreeDescriptor();
  int status = qv::GetTrackTags(path.c_str(), &s.tags, language, (folder + "/").c_str());
  if (status != 0 && status != 2) std::abort();
  if (LowestFreeDescriptor() != before) {
    std::fprintf(stderr, "a descriptor was left open\n");
    std::abort();
  }
  if (status != 0) return;
  CheckTerminated(s.genre, qv::kGenreBytes), CheckTerminated(s.artist, qv::kArtistBytes);
  CheckTerminated(s.album, qv::kAlbumBytes), CheckTerminated(s.title, qv::kTitleBytes);
  CheckTerminated(s.path, qv::kPathBytes);
  if (s.tags.FileSize != file_size) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if (folder.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qvfuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    std::atexit(RemoveFolder);
  }
  int language = (data[0] / 8) % (qv::kTagLanguageAuto + 1);
  std::string path = folder + "/track" + kExtensions[data[0] % 8];
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(data + 1, 1, size - 1, file) != size - 1 || std::fclose(file) != 0)
    std::abort();
  ReadOnce(path, language, size - 1);

  static qv::test::FaultyFileDoor door;
  using qv::test::FileOp;
  const FileOp ops[3] = {FileOp::kOpen, FileOp::kRead, FileOp::kSeek};
  door.FailNth(ops[size % 3], 1 + static_cast<int>((size / 3) % 6));
  qv::SetFileDoor(&door);
  ReadOnce(path, language, size - 1);
  qv::SetFileDoor(nullptr);
  unlink(path.c_str());
  return 0;
}
