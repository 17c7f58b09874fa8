// Libraries written by the writers, read back by the separate checker of the
// command-line tool: every structural rule holds, and the dump shows the
// tracks that went in.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "library/files/writer_fixture.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

// Runs qvlib with the arguments; the exit status and the output.
int Qvlib(const std::string& args, std::string* output) {
  std::string command = std::string(QV_QVLIB_PATH) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char chunk[4096];
  size_t n;
  output->clear();
  while ((n = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0) output->append(chunk, n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ExpectChecked(const TempDir& drive) {
  std::string out;
  EXPECT_EQ(Qvlib("check --created " + drive.str(), &out), 0) << out;
}

TrackSpec Song(int i, const std::string& genre) {
  TrackSpec t;
  t.genre = Ascii(genre);
  t.artist =
      i % 3 == 0 ? std::u16string(u"The Wanderers") : Ascii("Artist " + std::to_string(i % 7));
  t.album = i % 5 == 0 ? std::u16string() : Ascii("Album " + std::to_string(i % 4));
  t.title = i % 2 == 0 ? Ascii("Song " + std::to_string(i)) : u"\x6b4c " + Ascii(std::to_string(i));
  t.path = Ascii("/Music/" + std::to_string(i) + ".mp3");
  t.number = i % 6 == 0 ? 0xFFFF : static_cast<uint16_t>(i % 9);
  return t;
}

TEST(WritersRoundTrip, OneTrackLibraryChecksAndDumps) {
  TempDir drive;
  {
    WriterBuild build(drive.str());
    ASSERT_TRUE(build.ok());
    ASSERT_EQ(build.Add(Song(1, "Rock")), kEngineOk);
    ASSERT_EQ(build.Complete(), kEngineOk);
  }
  ExpectChecked(drive);
  std::string out;
  ASSERT_EQ(Qvlib("dump --json " + drive.str(), &out), 0) << out;
  EXPECT_NE(out.find("/Music/1.mp3"), std::string::npos) << out;
}

TEST(WritersRoundTrip, SpilledLibraryOverOldLongerFilesChecks) {
  TempDir drive;
  std::filesystem::path dir = drive.path() / "QUORVEN" / "LIBRARY";
  std::filesystem::create_directories(dir);
  for (const char* name : {kTrackFileName, kBrowseFileName, kIndexFileName}) {
    WriteFileBytes(dir / name, std::vector<uint8_t>(200000, 0x5A));
  }
  {
    WriterBuild build(drive.str());
    ASSERT_TRUE(build.ok());
    for (int i = 0; i < 120; ++i) {
      ASSERT_EQ(build.Add(Song(i, i % 4 == 0 ? "Jazz" : "rock")), kEngineOk);
      if (i == 39 || i == 79) {
        ASSERT_EQ(build.Spill(), kEngineOk);
      }
    }
    ASSERT_EQ(build.Complete(), kEngineOk);
  }
  ExpectChecked(drive);
  std::string out;
  ASSERT_EQ(Qvlib("dump --json " + drive.str(), &out), 0) << out;
  for (int i : {0, 39, 40, 119})
    EXPECT_NE(out.find("/Music/" + std::to_string(i) + ".mp3"), std::string::npos) << i;
}

TEST(WritersRoundTrip, OverflowingGenresCheck) {
  TempDir drive;
  {
    WriterBuild build(drive.str());
    ASSERT_TRUE(build.ok());
    char genre[16];
    for (int i = 0; i < 1010; ++i) {
      std::snprintf(genre, sizeof(genre), "G%04d", i % 1005);
      ASSERT_EQ(build.Add(Song(i, genre)), kEngineOk);
    }
    ASSERT_EQ(build.Complete(), kEngineOk);
  }
  ExpectChecked(drive);
}

TEST(WritersRoundTrip, HfsLibraryChecks) {
  TempDir drive;
  {
    WriterBuild build(drive.str(), kFileSystemHfs);
    ASSERT_TRUE(build.ok());
    for (int i = 0; i < 30; ++i) ASSERT_EQ(build.Add(Song(i, "Pop")), kEngineOk);
    ASSERT_EQ(build.Complete(), kEngineOk);
  }
  EXPECT_TRUE(std::filesystem::exists(drive.path() / ".QUORVEN" / "LIBRARY" / kBrowseFileName));
  std::string out;
  EXPECT_EQ(Qvlib("check --created --fs hfs " + drive.str(), &out), 0) << out;
}

}  // namespace
}  // namespace qv::test
