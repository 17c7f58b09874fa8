// Byte images of small libraries for the tests of the reader and of the
// commands that use it: the engine's own create build of the given tracks,
// kept in memory so that a test can damage one word before writing them out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qv::test {

struct ImageTrack {
  std::u16string texts[5];      // genre, artist, album, title, path
  uint32_t ids[3] = {0, 0, 0};  // genre, artist, album name ids, as the build gives them
  uint16_t number = 0xFFFF;
  uint8_t file_type = 1;
  uint32_t file_size = 4096;
};

// A track with its texts (genre, artist, album, title, path) and name ids.
ImageTrack MakeImageTrack(std::u16string genre, std::u16string artist, std::u16string album,
                          std::u16string title, std::u16string path, uint32_t g, uint32_t a,
                          uint32_t b, uint16_t number);

struct LibraryImage {
  std::vector<uint8_t> tracks;  // QVTL.DB
  std::vector<uint8_t> browse;  // QVBL.DB
  std::vector<uint8_t> index;   // QVDB.DB
};

// The files a create job writes for these tracks, in this order.
LibraryImage MakeLibraryImage(const std::vector<ImageTrack>& tracks);

// Writes the three files into the library directory below drive ("QUORVEN/
// LIBRARY", or ".QUORVEN/LIBRARY" when hfs is set).
void PutLibraryImage(const LibraryImage& image, const std::filesystem::path& drive,
                     bool hfs = false);

// Little-endian helpers for poking at images.
uint32_t ImageLe32(const std::vector<uint8_t>& bytes, size_t at);
void SetImageLe32(std::vector<uint8_t>* bytes, size_t at, uint32_t value);

}  // namespace qv::test
