// qvlib check and qvlib dump, run as the user runs them, on libraries built
// by the engine: they must pass the check and dump back the tracks that went in.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "library/files/library_reader.h"
#include "support/library_fixture.h"
#include "support/real_files.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

using nlohmann::json;

// The text a track keeps: its first capacity - 1 units.
std::string Kept(const std::u16string& text, size_t units) {
  return LibraryTextToUtf8(text.substr(0, std::min(text.size(), units)));
}

// Builds the tracks, checks the library with the create rules and compares
// the dumped tracks, and the genre tree, with the ones that went in.
json BuildCheckAndDump(const TempDir& drive, const std::vector<TrackSpec>& tracks,
                       const BuildOptions& options = {}) {
  EXPECT_EQ(BuildLibrary(drive.str(true), tracks, options), 0);
  std::string fs = options.file_system_kind == kFileSystemHfs ? "hfs" : "fat";
  ProgramResult check = RunQvlib({"check", "--created", "--fs", fs, drive.str()});
  EXPECT_EQ(check.status, 0) << check.output;
  ProgramResult dump = RunQvlib({"dump", "--json", "--fs", fs, drive.str()});
  EXPECT_EQ(dump.status, 0);
  json doc = json::parse(dump.output, nullptr, false);
  std::map<std::string, std::string> dumped, wanted;
  for (const json& t : doc["tracks"])
    dumped[t["path"]] = t["genre"].dump() + t["artist"].dump() + t["album"].dump() +
                        t["title"].dump() + t["file_size"].dump() + t["file_type"].dump() +
                        t["number"].dump();
  for (const TrackSpec& t : tracks)
    wanted[Kept(t.path, 255)] =
        json(Kept(t.genre, 29)).dump() + json(Kept(t.artist, 47)).dump() +
        json(Kept(t.album, 47)).dump() + json(Kept(t.title, 63)).dump() +
        std::to_string(t.file_size) + std::to_string(t.file_type) +
        (t.track_number == 0xFFFF ? "null" : std::to_string(t.track_number));
  EXPECT_EQ(dumped, wanted);
  size_t in_tree = 0;  // every track sits once in the genre tree
  for (const json& g : doc["genres"])
    for (const json& a : g["artists"])
      for (const json& b : a["albums"]) in_tree += b["tracks"].size();
  EXPECT_EQ(in_tree, tracks.size());
  return doc;
}

// One and two tracks, batches spilled many times (a small record buffer), an
// HFS drive, and more than a thousand genres, of which a thousand are kept.
TEST(LibraryCommandsTest, EngineLibrariesPassTheCheckAndDumpWhatWentIn) {
  for (uint32_t n : {1u, 2u, 200u, 25u, 1200u}) {
    std::vector<TrackSpec> tracks;
    for (uint32_t i = 0; i < n; ++i) tracks.push_back(GeneratedTrack(n == 25 ? i * 7 : i));
    if (n == 1200)
      for (uint32_t i = 0; i < n; ++i)
        tracks[i].genre = U16("Genre " + std::to_string(1000 + (i * 7919) % 1100));
    BuildOptions options;
    options.record_buffer_bytes = n == 200 ? 4 * 1024 : 0;
    options.file_system_kind = n == 25 ? kFileSystemHfs : kFileSystemFat;
    TempDir drive;
    json doc = BuildCheckAndDump(drive, tracks, options);
    if (n == 1200) {
      EXPECT_EQ(doc["genres"].size(), 1000u);
      EXPECT_EQ(doc["lists"][0]["entries"], 1000);
      EXPECT_EQ(doc["statistics"][0]["count"], 1000);
      EXPECT_EQ(doc["genres"][999]["name"], "Genre 1999");
    }
  }
}

TEST(LibraryCommandsTest, CheckSummaryFaultsDumpTextAndUsage) {
  TempDir drive;
  auto track = [](const char* genre, const char* artist, const char* album, const char* title,
                  const char* path, uint16_t number) {
    return TrackSpec{U16(genre), U16(artist), U16(album), U16(title), U16(path), number};
  };
  BuildCheckAndDump(drive, {track("Rock", "Alpha", "One", "Start", "/m/a1.mp3", 1),
                            track("Jazz", "Beta", "Two", "Blue", "/m/b2.mp3", 2),
                            track("Rock", "Beta", "One", "Caf\u00e9", "/m/b1.mp3", 0xFFFF)});
  ProgramResult run = RunQvlib({"check", drive.str()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.rfind("ok: 3 tracks, 2 genres, 2 artists, 2 albums", 0), 0u) << run.output;
  EXPECT_EQ(SplitLines(run.output).size(), 1u);
  run = RunQvlib({"dump", drive.str()});
  size_t jazz = run.output.find("Genre \"Jazz\"\n  Artist \"Beta\"\n    Album \"Two\"\n");
  EXPECT_LT(jazz, run.output.find("Genre \"Rock\"\n  Artist \"Alpha\"\n")) << run.output;
  EXPECT_TRUE(run.output.find("    -  Caf\xc3\xa9  /m/b1.mp3\n") != std::string::npos);
  EXPECT_TRUE(run.output.find("QVDB.DB: next track id 3, 2 chunks") != std::string::npos);
  run = RunQvlib({"check", "--fs", "hfs", drive.str()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.output.find("QVTL.DB, byte 0") != std::string::npos) << run.output;
  // A damaged file: the check names it and the dump refuses it.
  std::string browse = LibraryDirectory(drive.str(true)) + "/QVBL.DB";
  std::vector<uint8_t> bytes = ReadFileBytes(browse);
  bytes[bytes.size() - 2] ^= 0x7F;
  WriteFileBytes(browse, bytes);
  run = RunQvlib({"check", drive.str()});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.output.find("QVBL.DB, byte ") != std::string::npos) << run.output;
  EXPECT_EQ(RunQvlib({"dump", drive.str()}).status, 1);
  for (std::vector<std::string> args : {std::vector<std::string>{"check"},
                                        {"dump"},
                                        {"check", "/tmp", "--fs", "ntfs"},
                                        {"dump", "/tmp", "--colour"}})
    EXPECT_EQ(RunQvlib(args).status, 64) << args[0];
}

}  // namespace
}  // namespace qv::test
