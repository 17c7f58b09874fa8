#include "support/library_image.h"

#include <utility>

#include "platform/byte_order.h"
#include "support/library_fixture.h"
#include "support/temp_dir.h"

namespace qv::test {

ImageTrack MakeImageTrack(std::u16string genre, std::u16string artist, std::u16string album,
                          std::u16string title, std::u16string path, uint32_t g, uint32_t a,
                          uint32_t b, uint16_t number) {
  ImageTrack t;
  std::u16string* texts[5] = {&genre, &artist, &album, &title, &path};
  for (int k = 0; k < 5; ++k) t.texts[k] = std::move(*texts[k]);
  t.ids[0] = g, t.ids[1] = a, t.ids[2] = b;
  t.number = number;
  return t;
}

LibraryImage MakeLibraryImage(const std::vector<ImageTrack>& tracks) {
  std::vector<TrackSpec> specs;
  for (const ImageTrack& t : tracks) {
    specs.push_back({t.texts[0], t.texts[1], t.texts[2], t.texts[3], t.texts[4], t.number,
                     t.file_size, t.file_type});
  }
  TempDir drive;
  LibraryImage image;
  if (BuildLibrary(drive.str(), specs) != 0) return image;
  std::string dir = LibraryDirectory(drive.str());
  image.tracks = ReadFileBytes(dir + "QVTL.DB");
  image.browse = ReadFileBytes(dir + "QVBL.DB");
  image.index = ReadFileBytes(dir + "QVDB.DB");
  return image;
}

void PutLibraryImage(const LibraryImage& image, const std::filesystem::path& drive, bool hfs) {
  std::filesystem::path dir = drive / (hfs ? ".QUORVEN" : "QUORVEN") / "LIBRARY";
  std::filesystem::create_directories(dir);
  WriteFileBytes(dir / "QVTL.DB", image.tracks);
  WriteFileBytes(dir / "QVBL.DB", image.browse);
  WriteFileBytes(dir / "QVDB.DB", image.index);
}

uint32_t ImageLe32(const std::vector<uint8_t>& b, size_t at) { return LoadLe32(b, at); }
void SetImageLe32(std::vector<uint8_t>* b, size_t at, uint32_t v) { StoreLe32(*b, at, v); }

}  // namespace qv::test
