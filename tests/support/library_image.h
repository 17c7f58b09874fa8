// Byte images of small, valid libraries laid out by hand from a list of tracks
// with their name ids, for the tests of the library reader and of the commands
// that use it. Written straight from the file layouts, apart from the engine's
// writers, so that the two can be checked against each other.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {

struct ImageTrack {
  std::u16string texts[5];      // genre, artist, album, title, path
  uint32_t ids[3] = {0, 0, 0};  // genre, artist, album name ids
  uint16_t number = 0xFFFF;
  uint8_t file_type = 1;
  uint32_t file_size = 4096;
};

// A track with its texts (genre, artist, album, title, path) and name ids.
inline ImageTrack MakeImageTrack(std::u16string genre, std::u16string artist,
                                 std::u16string album, std::u16string title, std::u16string path,
                                 uint32_t g, uint32_t a, uint32_t b, uint16_t number) {
  ImageTrack t;
  t.texts[0] = std::move(genre);
  t.texts[1] = std::move(artist);
  t.texts[2] = std::move(album);
  t.texts[3] = std::move(title);
  t.texts[4] = std::move(path);
  t.ids[0] = g;
  t.ids[1] = a;
  t.ids[2] = b;
  t.number = number;
  return t;
}

struct LibraryImage {
  std::vector<uint8_t> tracks;  // QVTL.DB
  std::vector<uint8_t> browse;  // QVBL.DB
  std::vector<uint8_t> index;   // QVDB.DB
};

// Pages in the given order (track id = rank); the order list of genre, artist
// and album sorted by the name ids from that category down to album, the title
// order by title text; browse lists grouped by the ids; statistics counted the
// way a create job counts them.
LibraryImage MakeLibraryImage(const std::vector<ImageTrack>& tracks);

// Writes the three files into the library directory below drive ("QUORVEN/
// LIBRARY", or ".QUORVEN/LIBRARY" when hfs is set).
void PutLibraryImage(const LibraryImage& image, const std::filesystem::path& drive,
                     bool hfs = false);

// Little-endian helpers for poking at images.
uint32_t ImageLe32(const std::vector<uint8_t>& bytes, size_t at);
void SetImageLe32(std::vector<uint8_t>* bytes, size_t at, uint32_t value);

}  // namespace qv::test
