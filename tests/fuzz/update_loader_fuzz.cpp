// Damaged libraries through an update: each input patches a valid library's
// files (4-byte patches: file mod 3, 16-bit offset mod its size, new byte)
// after byte 0, whose bit t % 8 says track t is on the drive; the update must
// stay inside its buffers and answer with one of its result codes.
#include <cstdlib>
#include <filesystem>

#include "library/update/update_ops.h"
#include "support/library_fixture.h"
#include "support/temp_dir.h"

namespace {

const char* const kNames[3] = {"QVTL.DB", "QVBL.DB", "QVDB.DB"};
std::string g_root;
std::vector<uint8_t> g_files[3];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvfuzz-XXXXXX").string();
  g_root = mkdtemp(pattern.data());
  std::vector<qv::test::TrackSpec> tracks;
  for (uint32_t i = 0; i < 24; ++i) tracks.push_back(qv::test::GeneratedTrack(i));
  if (qv::test::BuildLibrary(g_root, tracks) != 0) std::abort();
  for (int f = 0; f < 3; ++f)
    g_files[f] = qv::test::ReadFileBytes(qv::test::LibraryDirectory(g_root) + kNames[f]);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::vector<uint8_t> files[3] = {g_files[0], g_files[1], g_files[2]};
  for (size_t at = 1; at + 4 <= size; at += 4) {
    std::vector<uint8_t>& file = files[data[at] % 3];
    file[(data[at + 1] | (data[at + 2] << 8)) % file.size()] = data[at + 3];
  }
  for (int f = 0; f < 3; ++f)
    qv::test::WriteFileBytes(qv::test::LibraryDirectory(g_root) + kNames[f], files[f]);
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
