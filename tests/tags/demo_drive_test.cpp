// The demo drive that `make run` shows: made twice it is the same tree, and
// qvlib reads every file on it with the tags it was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/real_files.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

bool MakeDemoDrive(const fs::path& where) {
  ProgramResult run =
      RunProgram({"/usr/bin/python3", QV_SOURCE_DIR "/tools/make-demo-drive", where.string()});
  EXPECT_EQ(run.status, 0) << run.errors;
  return run.status == 0;
}

// Relative path -> content of every file under root.
std::map<std::string, std::vector<uint8_t>> Snapshot(const fs::path& root) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), root).string()] = ReadFileBytes(entry.path());
  return files;
}

// qvlib tags over every file of the drive: relative path -> its JSON line.
std::map<std::string, nlohmann::json> ReadDrive(const fs::path& root, const std::string& lang) {
  std::vector<std::string> args = {"tags", "--lang", lang, "--root", root.string() + "/"};
  for (const auto& entry : fs::recursive_directory_iterator(root))
    if (entry.is_regular_file()) args.push_back(entry.path().string());
  ProgramResult run = RunQvlib(args);
  EXPECT_EQ(run.status, 0) << run.errors;
  std::map<std::string, nlohmann::json> lines;
  for (const auto& line : SplitLines(run.output)) {
    auto json = nlohmann::json::parse(line);
    lines[fs::relative(json["file"].get<std::string>(), root).string()] = json;
  }
  return lines;
}

TEST(DemoDriveTest, IsTheSameTreeEachTimeAndEveryFileReads) {
  TempDir dir;
  fs::path drive = dir.path() / "drive";
  ASSERT_TRUE(MakeDemoDrive(drive));
  auto first = Snapshot(drive);
  WriteFileBytes(drive / "left over.mp3", {1, 2, 3});  // the tool starts from an empty folder
  ASSERT_TRUE(MakeDemoDrive(drive));
  ASSERT_TRUE(first == Snapshot(drive)) << "a second run made different files";
  EXPECT_GE(first.size(), 35u);
  EXPECT_LE(first.size(), 45u);

  auto en = ReadDrive(drive, "en");
  ASSERT_EQ(en.size(), first.size());
  std::map<int, int> types;
  for (const auto& [path, json] : en) {
    EXPECT_EQ(json["status"], 0) << path;
    EXPECT_FALSE(json["title"].get<std::string>().empty()) << path;
    ++types[json["type"].get<int>()];
  }
  // MP3, AAC, MP4, M4A, WAV and AIFF are all there.
  for (int type : {1, 2, 3, 4, 12, 13}) EXPECT_GT(types[type], 0) << type;

  const auto& paix = en["Music/Les Étoiles Filantes/Été à Paris/03 Rue de la Paix.mp3"];
  EXPECT_EQ(paix["title"], "Rue de la Paix");
  EXPECT_EQ(paix["artist"], "Les Étoiles Filantes");
  EXPECT_EQ(paix["genre"], "Rock");
  EXPECT_EQ(paix["track"], 3);
  const auto& hiver = en["Music/Ørsted Quartet/Hiver/02 Décembre.mp3"];
  EXPECT_EQ(hiver["title"], "Décembre");
  EXPECT_EQ(hiver["genre"], "Classical");
  const auto& levee = en["Music/Delta Tide/Low Country/01 Levee.wav"];
  EXPECT_EQ(levee["artist"], "Delta Tide");
  EXPECT_TRUE(levee["track"].is_null());

  // The legacy folders read correctly in the languages they are named after.
  auto ru = ReadDrive(drive, "ru");
  EXPECT_EQ(ru["Legacy code pages/CP1251 (read with --lang ru)/Белые ночи/01 Нева.mp3"]["title"],
            "Нева");
  auto ja = ReadDrive(drive, "ja");
  EXPECT_EQ(
      ja["Legacy code pages/Shift-JIS (read with --lang ja)/さくら通り/03 テスト.mp3"]["title"],
      "テスト");
  EXPECT_EQ(
      ja["Legacy code pages/Shift-JIS (read with --lang ja)/さくら通り/01 春の風.mp3"]["album"],
      "季節");
}

}  // namespace
}  // namespace qv::test
