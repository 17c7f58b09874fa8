// The demo drive that `make run` shows: made twice it is the same tree, and
// qvlib reads every file on it with the tags it was given.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "support/real_files.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

TEST(DemoDriveTest, IsTheSameTreeEachTimeAndEveryFileReads) {
  TempDir dir;
  fs::path drive = dir.path() / "drive";
  std::map<std::string, std::vector<uint8_t>> runs[2];
  for (auto& files : runs) {
    ProgramResult made =
        RunProgram({"/usr/bin/python3", QV_SOURCE_DIR "/tools/make-demo-drive", drive});
    ASSERT_EQ(made.status, 0) << made.errors;
    for (const auto& entry : fs::recursive_directory_iterator(drive))
      if (entry.is_regular_file()) files[entry.path().string()] = ReadFileBytes(entry.path());
    if (&files == &runs[0]) WriteFileBytes(drive / "left over.mp3", {1});  // it starts afresh
  }
  ASSERT_TRUE(runs[0] == runs[1]) << "a second run made different files";
  // Every file reads, all six types are there, and the legacy folders read
  // right in the languages they are named after.
  std::map<std::string, nlohmann::json> read;
  std::map<int, int> types;
  for (const char* lang : {"en", "ru", "ja"}) {
    std::vector<std::string> args = {"tags", "--lang", lang, "--root", drive.string() + "/"};
    for (const auto& [path, bytes] : runs[0]) args.push_back(path);
    ProgramResult run = RunQvlib(args);
    EXPECT_EQ(run.status, 0) << run.errors;
    for (const auto& line : SplitLines(run.output)) {
      auto json = nlohmann::json::parse(line);
      read[lang + json["path"].get<std::string>()] = json;
      ++types[json["type"].get<int>()];
      EXPECT_NE(json["title"], "") << line;
    }
  }
  EXPECT_EQ(read.size(), 3 * runs[0].size());
  EXPECT_EQ(types.size(), 6u);
  const auto& paix = read["en/Music/Les Étoiles Filantes/Été à Paris/03 Rue de la Paix.mp3"];
  EXPECT_EQ(
      paix["title"].dump() + paix["artist"].dump() + paix["genre"].dump() + paix["track"].dump(),
      R"("Rue de la Paix""Les Étoiles Filantes""Rock"3)");
  EXPECT_EQ(
      read["ru/Legacy code pages/CP1251 (read with --lang ru)/Белые ночи/01 Нева.mp3"]["title"],
      "Нева");
  EXPECT_EQ(read["ja/Legacy code pages/Shift-JIS (read with --lang ja)/さくら通り/01 春の風.mp3"]
                ["album"],
            "季節");
}

}  // namespace
}  // namespace qv::test
