// Damaged libraries through an update: each input patches a valid library's
// files (4-byte patches: file mod 3, 16-bit offset mod its size, new byte)
// after byte 0, whose bit t % 8 says track t is on the drive; the update must
// stay inside its buffers and answer with one of its result codes.
//
// The library files live in memory behind a file door, and the job's blocks
// are reserved once per process: a run costs the update's own work only.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include "library/update/update_ops.h"
#include "platform/file_door.h"
#include "platform/zeroed_memory.h"
#include "support/library_fixture.h"
#include "support/temp_dir.h"

namespace {

// The library files in memory. An open file holds a real descriptor (a copy
// of one to a regular file, for the engine's check of what it opened) and
// its offset; the library's folders are real ones.
struct MemoryDoor : qv::FileDoor {
  using File = std::shared_ptr<std::vector<uint8_t>>;
  std::map<std::string, File> files;
  std::map<int, std::pair<File, size_t>> open;
  int regular = -1;

  int Open(const char* path, int flags, unsigned) override {
    File& file = files[path];
    if (file == nullptr && (flags & O_CREAT) == 0) return files.erase(path), errno = ENOENT, -1;
    if (file == nullptr || (flags & O_TRUNC) != 0) file = std::make_shared<std::vector<uint8_t>>();
    const int fd = dup(regular);
    return open[fd] = {file, 0}, fd;
  }
  int64_t Read(int fd, void* out, size_t n) override {
    auto& [file, at] = open.at(fd);
    n = at < file->size() ? std::min(n, file->size() - at) : 0;
    return std::copy_n(file->begin() + at, n, static_cast<uint8_t*>(out)), at += n, n;
  }
  int64_t Write(int fd, const void* in, size_t n) override {
    auto& [file, at] = open.at(fd);
    file->resize(std::max(file->size(), at + n));
    return std::copy_n(static_cast<const uint8_t*>(in), n, file->begin() + at), at += n, n;
  }
  int64_t Seek(int fd, int64_t offset, int whence) override {
    auto& [file, at] = open.at(fd);
    offset += whence == SEEK_END ? file->size() : whence == SEEK_CUR ? at : 0;
    return offset < 0 ? (errno = EINVAL, -1) : static_cast<int64_t>(at = offset);
  }
  int Close(int fd) override { return open.erase(fd), close(fd); }
  int Fchmod(int, unsigned) override { return 0; }
  int Fsync(int) override { return 0; }
  int Mkdir(const char*, unsigned) override { return errno = EEXIST, -1; }
  int Remove(const char* path) override {
    return files.erase(path) == 1 ? 0 : (errno = ENOENT, -1);
  }
  int Rename(const char* from, const char* to) override {
    if (!files.contains(from)) return errno = ENOENT, -1;
    return files[to] = files[from], files.erase(from), 0;
  }
};

const char* const kNames[3] = {"QVTL.DB", "QVBL.DB", "QVDB.DB"};
std::string g_root;
std::string g_paths[3];
std::vector<uint8_t> g_files[3];
MemoryDoor g_door;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvfuzz-XXXXXX").string();
  g_root = mkdtemp(pattern.data());
  std::vector<qv::test::TrackSpec> tracks;
  for (uint32_t i = 0; i < 24; ++i) tracks.push_back(qv::test::GeneratedTrack(i));
  if (qv::test::BuildLibrary(g_root, tracks) != 0) std::abort();
  for (int f = 0; f < 3; ++f) {
    g_paths[f] = qv::test::LibraryDirectory(g_root) + kNames[f];
    g_files[f] = qv::test::ReadFileBytes(g_paths[f]);
  }
  g_door.regular = open(g_paths[0].c_str(), O_RDONLY | O_CLOEXEC);
  if (g_door.regular < 0) std::abort();
  qv::SetFileDoor(&g_door);
  qv::KeepReleasedBlocks(true);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  g_door.files.clear();
  for (int f = 0; f < 3; ++f)
    g_door.files[g_paths[f]] = std::make_shared<std::vector<uint8_t>>(g_files[f]);
  for (size_t at = 1; at + 4 <= size; at += 4) {
    std::vector<uint8_t>& file = *g_door.files[g_paths[data[at] % 3]];
    file[(data[at + 1] | (data[at + 2] << 8)) % file.size()] = data[at + 3];
  }
  int r = qv::OpenLibraryForUpdate(g_root.c_str(), qv::kFileSystemFat);
  if (r == 0) {
    qv::LibraryBuilder* b = qv::TheBuildContext().builder;
    for (uint32_t t = 0; t < b->update.loaded_track_count; ++t) {
      b->update.presence[t] = (data[0] >> (t % 8)) & 1;
      b->total_tracks += b->update.presence[t];
    }
    r = qv::ApplyRemovals();
    if (r == 0) r = qv::FinishUpdate();
  }
  if (r != 0 && r != 3 && r != 4) std::abort();
  qv::CloseUpdate();
  return 0;
}
