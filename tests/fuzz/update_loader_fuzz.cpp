// Loads damaged libraries for an update: a valid library is made once, and
// each input patches bytes of its three files before the update opens it,
// drops the tracks the input calls gone, regroups and finishes.
//
// Input layout:
//
//   offset  size  field
//   0       1     bit t % 8 set: track t counts as found on the drive
//   1 + 4k  4     patch k: file (byte 0 mod 3: QVTL.DB, QVBL.DB, QVDB.DB),
//                 offset (bytes 1-2, little-endian, mod the file's size),
//                 new byte value (byte 3)
//
// Whatever the files claim, the update must stay inside its buffers and
// answer with one of its result codes.
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "library/update/update_ops.h"
#include "support/library_fixture.h"

namespace {

const char* const kNames[3] = {"QVTL.DB", "QVBL.DB", "QVDB.DB"};
std::string g_root;
std::string g_dir;
std::vector<uint8_t> g_files[3];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (std::filesystem::temp_directory_path() / "qvfuzz-XXXXXX").string();
  g_root = mkdtemp(pattern.data());
  std::vector<qv::test::TrackSpec> tracks;
  for (uint32_t i = 0; i < 24; ++i) tracks.push_back(qv::test::GeneratedTrack(i));
  if (qv::test::BuildLibrary(g_root, tracks) != 0) std::abort();
  g_dir = qv::test::LibraryDirectory(g_root);
  for (int f = 0; f < 3; ++f) {
    std::ifstream in(g_dir + kNames[f], std::ios::binary);
    g_files[f].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  std::vector<uint8_t> files[3] = {g_files[0], g_files[1], g_files[2]};
  for (size_t at = 1; at + 4 <= size; at += 4) {
    std::vector<uint8_t>& file = files[data[at] % 3];
    file[(data[at + 1] | (data[at + 2] << 8)) % file.size()] = data[at + 3];
  }
  for (int f = 0; f < 3; ++f) {
    std::ofstream out(g_dir + kNames[f], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(files[f].data()), static_cast<std::streamsize>(files[f].size()));
  }
  int r = qv::OpenLibraryForUpdate(g_root.c_str(), qv::kFileSystemFat);
  if (r != 0 && r != 3) std::abort();
  if (r == 0) {
    qv::LibraryBuilder* b = qv::TheBuildContext().builder;
    for (uint32_t t = 0; t < b->update.loaded_track_count; ++t) {
      if (((data[0] >> (t % 8)) & 1) == 0) continue;
      b->update.presence[t] = 1;
      ++b->total_tracks;
    }
    r = qv::ApplyRemovals();
    if (r == 0) r = qv::FinishUpdate();
    if (r != 0 && r != 3 && r != 4) std::abort();
  }
  qv::CloseUpdate();
  return 0;
}
