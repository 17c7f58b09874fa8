// qvlib check and qvlib dump, run as the user runs them: on hand-laid library
// images (good and damaged) and on libraries built by the engine, which must
// pass the check and dump back the tracks that went in.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "library/files/library_files.h"
#include "library/files/library_reader.h"
#include "support/library_fixture.h"
#include "support/library_image.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using nlohmann::json;
using test::ImageLe32;
using test::ImageTrack;
using test::TrackSpec;

struct CommandRun {
  int status = -1;
  std::string out;
};

// Runs qvlib with args; stderr joins stdout unless quiet_errors is set.
CommandRun Qvlib(const std::string& args, bool quiet_errors = false) {
  std::string command =
      std::string(QV_QVLIB_PATH) + " " + args + (quiet_errors ? " 2>/dev/null" : " 2>&1");
  CommandRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

constexpr auto Track = &test::MakeImageTrack;

test::LibraryImage SmallImage() {
  return test::MakeLibraryImage(
      {Track(u"Rock", u"Alpha", u"One", u"Start", u"/m/a1.mp3", 1, 0, 0, 1),
       Track(u"Jazz", u"Beta", u"Two", u"Blue", u"/m/b2.mp3", 0, 1, 1, 2),
       Track(u"Rock", u"Beta", u"One", u"Caf\u00e9", u"/m/b1.mp3", 1, 1, 0, 0xFFFF)});
}

TEST(LibraryCommandsTest, CheckAcceptsAGoodLibraryWithASummary) {
  test::TempDir fat, hfs;
  test::PutLibraryImage(SmallImage(), fat.path());
  test::PutLibraryImage(SmallImage(), hfs.path(), true);
  CommandRun run = Qvlib("check " + Quote(fat.str()));
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out.rfind("ok: 3 tracks, 2 genres, 2 artists, 2 albums", 0), 0u) << run.out;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
  EXPECT_EQ(Qvlib("check --created --fs hfs " + Quote(hfs.str(true))).status, 0);
  CommandRun wrong_fs = Qvlib("check --fs hfs " + Quote(fat.str()));
  EXPECT_EQ(wrong_fs.status, 1);
  EXPECT_NE(wrong_fs.out.find("QVTL.DB, byte 0"), std::string::npos) << wrong_fs.out;
}

TEST(LibraryCommandsTest, CheckNamesTheFirstFaultAndItsOffset) {
  test::TempDir drive;
  test::LibraryImage image = SmallImage();
  // The second entry of the title order list repeats the first.
  uint32_t at = 16;
  for (int c = 0; c < 3; ++c) at += ImageLe32(image.browse, at + 8);
  uint32_t entries = at + 20 + 20;
  test::SetImageLe32(&image.browse, entries + 4, ImageLe32(image.browse, entries));
  test::PutLibraryImage(image, drive.path());
  CommandRun run = Qvlib("check " + Quote(drive.str()));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("QVBL.DB, byte " + std::to_string(entries + 4) + ":"), std::string::npos)
      << run.out;
  EXPECT_EQ(Qvlib("dump " + Quote(drive.str()), true).status, 1);
}

TEST(LibraryCommandsTest, BadUsageExits64) {
  EXPECT_EQ(Qvlib("check").status, 64);
  EXPECT_EQ(Qvlib("dump").status, 64);
  EXPECT_EQ(Qvlib("check /tmp --fs ntfs").status, 64);
  EXPECT_EQ(Qvlib("dump /tmp --colour").status, 64);
}

TEST(LibraryCommandsTest, DumpPrintsTheBrowseTreeAndTheFacts) {
  test::TempDir drive;
  test::PutLibraryImage(SmallImage(), drive.path());
  CommandRun text = Qvlib("dump " + Quote(drive.str()));
  ASSERT_EQ(text.status, 0) << text.out;
  size_t jazz = text.out.find("Genre \"Jazz\"\n  Artist \"Beta\"\n    Album \"Two\"\n");
  size_t rock = text.out.find("Genre \"Rock\"\n  Artist \"Alpha\"\n");
  EXPECT_NE(jazz, std::string::npos) << text.out;
  EXPECT_LT(jazz, rock);
  EXPECT_NE(text.out.find("    -  Caf\xc3\xa9  /m/b1.mp3\n"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("QVDB.DB: next track id 3, 2 chunks"), std::string::npos);

  CommandRun run = Qvlib("dump --json " + Quote(drive.str()), true);
  ASSERT_EQ(run.status, 0);
  json doc = json::parse(run.out);
  ASSERT_EQ(doc["genres"].size(), 2u);
  const json& rock_artists = doc["genres"][1]["artists"];
  ASSERT_EQ(rock_artists.size(), 2u);
  EXPECT_EQ(rock_artists[1]["name"], "Beta");
  EXPECT_EQ(rock_artists[1]["albums"][0]["tracks"][0]["title"], "Caf\xc3\xa9");
  EXPECT_TRUE(rock_artists[1]["albums"][0]["tracks"][0]["number"].is_null());
  EXPECT_EQ(doc["tracks"].size(), 3u);
  EXPECT_EQ(doc["tracks"][1]["path"], "/m/b2.mp3");
  EXPECT_EQ(doc["header"]["track_file"]["track_count"], 3);
  EXPECT_EQ(doc["statistics"][4]["stored_method"], 3);
  EXPECT_EQ(doc["lists"].size(), 10u);
}

// Control characters from tags and names cannot reach the terminal or split
// a line of the listing; JSON keeps the texts as they are.
TEST(LibraryCommandsTest, DumpEscapesControlCharacters) {
  test::TempDir drive;
  test::PutLibraryImage(test::MakeLibraryImage({Track(u"G\x1b[2J", u"A\tB", u"C\\D", u"T\nU\x7f\u009b",
                                                      u"/m/\r.mp3", 0, 0, 0, 1)}),
                        drive.path());
  CommandRun text = Qvlib("dump " + Quote(drive.str()), true);
  ASSERT_EQ(text.status, 0);
  for (const char* shown : {"Genre \"G\\x1b[2J\"\n", "Artist \"A\\tB\"\n", "Album \"C\\\\D\"\n",
                            "  T\\nU\\x7f\\u009b  /m/\\r.mp3\n"})
    EXPECT_NE(text.out.find(shown), std::string::npos) << shown << text.out;
  for (char c : text.out) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
  CommandRun run = Qvlib("dump --json " + Quote(drive.str()), true);
  EXPECT_EQ(json::parse(run.out)["tracks"][0]["title"], "T\nU\x7f\u009b");
}

// The text a track keeps: its first capacity - 1 units.
std::string Kept(const std::u16string& text, size_t units) {
  return LibraryTextToUtf8(text.substr(0, std::min(text.size(), units)));
}

// Builds the tracks with the engine, checks the library with the create
// rules and compares the dumped tracks with the ones that went in.
json BuildCheckAndDump(const std::vector<TrackSpec>& tracks,
                       const test::BuildOptions& options = {}) {
  test::TempDir drive;
  EXPECT_EQ(test::BuildLibrary(drive.str(true), tracks, options), 0);
  std::string fs = options.file_system_kind == kFileSystemHfs ? " --fs hfs " : " ";
  CommandRun check = Qvlib("check --created" + fs + Quote(drive.str()));
  EXPECT_EQ(check.status, 0) << check.out;
  CommandRun dump = Qvlib("dump --json" + fs + Quote(drive.str()), true);
  EXPECT_EQ(dump.status, 0);
  if (dump.status != 0) return json();
  json doc = json::parse(dump.out);
  std::map<std::string, json> by_path;
  for (const json& t : doc["tracks"]) by_path[t["path"].get<std::string>()] = t;
  EXPECT_EQ(by_path.size(), tracks.size());
  for (const TrackSpec& spec : tracks) {
    std::string path = Kept(spec.path, 255);
    auto found = by_path.find(path);
    if (found == by_path.end()) {
      ADD_FAILURE() << "missing " << path;
      continue;
    }
    const json& t = found->second;
    EXPECT_EQ(t["genre"], Kept(spec.genre, 29)) << path;
    EXPECT_EQ(t["artist"], Kept(spec.artist, 47)) << path;
    EXPECT_EQ(t["album"], Kept(spec.album, 47)) << path;
    EXPECT_EQ(t["title"], Kept(spec.title, 63)) << path;
    EXPECT_EQ(t["file_size"], spec.file_size) << path;
    EXPECT_EQ(t["file_type"], spec.file_type) << path;
    if (spec.track_number == 0xFFFF) {
      EXPECT_TRUE(t["number"].is_null()) << path;
    } else {
      EXPECT_EQ(t["number"], spec.track_number) << path;
    }
  }
  // Every track sits once in the genre tree.
  size_t in_tree = 0;
  for (const json& g : doc["genres"])
    for (const json& a : g["artists"])
      for (const json& b : a["albums"]) in_tree += b["tracks"].size();
  EXPECT_EQ(in_tree, tracks.size());
  return doc;
}


// One and two tracks, a library whose batches spilled many times (a small
// record buffer), and one on an HFS drive.
TEST(LibraryCommandsTest, EngineLibrariesPassTheCheckAndDumpWhatWentIn) {
  for (uint32_t n : {1u, 2u, 200u}) {
    std::vector<TrackSpec> tracks;
    for (uint32_t i = 0; i < n; ++i) tracks.push_back(test::GeneratedTrack(i));
    test::BuildOptions spilled;
    spilled.record_buffer_bytes = n > 2 ? 4 * 1024 : 0;
    SCOPED_TRACE(n);
    BuildCheckAndDump(tracks, spilled);
  }
  std::vector<TrackSpec> tracks;
  for (uint32_t i = 0; i < 25; ++i) tracks.push_back(test::GeneratedTrack(i * 7));
  test::BuildOptions hfs;
  hfs.file_system_kind = kFileSystemHfs;
  BuildCheckAndDump(tracks, hfs);
}

TEST(LibraryCommandsTest, MoreThanAThousandGenresKeepAThousandEntries) {
  std::vector<TrackSpec> tracks;
  for (uint32_t i = 0; i < 1200; ++i) {
    TrackSpec t = test::GeneratedTrack(i);
    char genre[16];
    std::snprintf(genre, sizeof genre, "Genre %04u", (i * 7919) % 1100);
    t.genre = test::U16(genre);
    tracks.push_back(t);
  }
  json doc = BuildCheckAndDump(tracks);
  ASSERT_TRUE(doc.is_object());
  EXPECT_EQ(doc["genres"].size(), 1000u);
  EXPECT_EQ(doc["lists"][0]["entries"], 1000);
  EXPECT_EQ(doc["statistics"][0]["count"], 1000);
  EXPECT_EQ(doc["genres"][999]["name"], "Genre 0999");
}

}  // namespace
}  // namespace qv
