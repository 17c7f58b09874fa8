#include "bench_files.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/id3_writer.h"
#include "support/mp4_writer.h"

namespace qv::bench {
namespace {

using test::Bytes;

const char* const kArtists[] = {"Aurora Lane", "Les Étoiles Filantes", "Björn Kessler Trio",
                                "Marta Ruiz",  "The Quiet Hours",      "Delta Tide",
                                "Greyfield",   "Ørsted Quartet"};
const char16_t* const kArtists16[] = {
    u"Aurora Lane",     u"Les Étoiles Filantes", u"Björn Kessler Trio", u"Marta Ruiz",
    u"The Quiet Hours", u"Delta Tide",           u"Greyfield",          u"Ørsted Quartet"};
const char* const kGenres[] = {"Rock", "(17)",  "Jazz",  "Ambient",
                               "(13)", "Latin", "Blues", "Classical"};

bool WriteFile(const std::string& path, const Bytes& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::u16string Widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// Half the files carry UTF-16 text, as most taggers write ID3v2.3; the other
// half 8-bit text, which goes through the code page.
Bytes Mp3File(int n) {
  int artist = n % 8;
  std::string title = "Track number " + std::to_string(n);
  std::string album = "Album " + std::to_string(n / 12);
  std::string track = std::to_string(n % 12 + 1) + "/12";
  bool utf16 = n % 2 == 0;
  auto text = [utf16](const std::string& ascii) {
    return utf16 ? test::Id3Utf16(Widen(ascii)) : test::Id3Latin(ascii);
  };
  Bytes artist_payload =
      utf16 ? test::Id3Utf16(kArtists16[artist]) : test::Id3Latin("Various Artists");
  std::vector<Bytes> frames = {
      test::Id3v2Frame(3, "TIT2", text(title)),
      test::Id3v2Frame(3, "TPE1", artist_payload),
      test::Id3v2Frame(3, "TALB", text(album)),
      test::Id3v2Frame(3, "TRCK", text(track)),
      test::Id3v2Frame(3, "TCON", text(kGenres[n % 8])),
      test::Id3v2Frame(3, "TYER", text("2004")),
      test::Id3v2Frame(3, "TSSE", text("LAME 3.100")),
      test::Id3v2Frame(3, "COMM",
                       test::RawBytes(std::string("\0eng\0A comment about the track", 30))),
  };
  test::Id3v2TagOptions options;
  options.padding = 1024;  // taggers leave room to grow the tag in place
  test::Id3v1Fields v1;
  v1.title = title;
  v1.artist = kArtists[artist];
  v1.album = album;
  v1.track = n % 12 + 1;
  v1.genre = 17;
  return test::Id3Join(
      {test::Id3v2Tag(3, frames, options), test::AudioFiller(4096), test::Id3v1Tag(v1)});
}

Bytes M4aFile(int n) {
  Bytes items = test::JoinBytes({
      test::Mp4TextItem("\xA9nam", "Track number " + std::to_string(n)),
      test::Mp4TextItem("\xA9"
                        "ART",
                        kArtists[n % 8]),
      test::Mp4TextItem("\xA9"
                        "alb",
                        "Album " + std::to_string(n / 12)),
      test::Mp4TextItem("\xA9gen", "Pop"),
      test::Mp4TextItem("\xA9too", "Lavf59.27.100"),
      test::Mp4TrknItem(static_cast<uint16_t>(n % 12 + 1), 12),
  });
  return test::JoinBytes({test::Mp4Ftyp(), test::Mp4Mdat(4096), test::Mp4MoovWithItems(items)});
}

}  // namespace

std::vector<std::string> WriteBenchFiles(const std::string& folder, int mp3_count, int m4a_count) {
  std::vector<std::string> paths;
  for (int n = 0; n < mp3_count + m4a_count; ++n) {
    bool mp3 = n < mp3_count;
    std::string dir =
        folder + "/Artist " + std::to_string(n % 8) + "/Album " + std::to_string(n / 100);
    std::filesystem::create_directories(dir);
    std::string path = dir + "/" + std::to_string(n) + (mp3 ? " song.mp3" : " song.m4a");
    if (!WriteFile(path, mp3 ? Mp3File(n) : M4aFile(n))) return {};
    paths.push_back(path);
  }
  return paths;
}

std::vector<std::string> WriteLongNameFiles(const std::string& folder, int count) {
  std::vector<std::string> paths;
  // Four 56-byte folders and a file name make paths of about 250 bytes.
  auto pad = [](std::string text, size_t size) {
    while (text.size() < size) text += " and more words";
    return text.substr(0, size);
  };
  for (int n = 0; n < count; ++n) {
    std::string dir = folder;
    for (int level = 0; level < 4; ++level)
      dir += "/" +
             pad("Folder " + std::to_string(level) + " of group " + std::to_string(n / 200 + level),
                 56);
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/" + pad(std::to_string(n) + " a song", 16) + ".mp3";
    std::vector<Bytes> frames = {
        test::Id3v2Frame(3, "TIT2", test::Id3Latin(pad("Title " + std::to_string(n), 200))),
        test::Id3v2Frame(3, "TPE1", test::Id3Latin(pad("Artist " + std::to_string(n % 5000), 200))),
        test::Id3v2Frame(3, "TALB", test::Id3Latin(pad("Album " + std::to_string(n / 8), 200))),
        test::Id3v2Frame(3, "TCON", test::Id3Latin(pad("Genre " + std::to_string(n % 900), 200))),
        test::Id3v2Frame(3, "TRCK", test::Id3Latin(std::to_string(n % 12 + 1))),
    };
    if (!WriteFile(path, test::Id3Join({test::Id3v2Tag(3, frames), test::AudioFiller(512)})))
      return {};
    paths.push_back(path);
  }
  return paths;
}

}  // namespace qv::bench
