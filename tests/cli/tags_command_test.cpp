// qvlib tags, run as a user runs it, on files whose tags are written by the
// test's own writers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/id3_writer.h"
#include "support/real_files.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

using nlohmann::json;
using test::Id3Join;
using test::Id3Latin;
using test::Id3v1Tag;
using test::Id3v2Frame;
using test::Id3v2Tag;

class TagsCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The default tag language comes from the locale; start from none.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
    mp3_ = drive_.Write(
        "Music/a.mp3",
        Id3Join({Id3v2Tag(3, {Id3v2Frame(3, "TIT2", test::Id3Utf16(u"T\u00EDtulo \"1\"")),
                              Id3v2Frame(3, "TPE1", test::Id3Utf16(u"\U0001F3B5 Band")),
                              Id3v2Frame(3, "TCON", Id3Latin("(17)")),
                              Id3v2Frame(3, "TRCK", Id3Latin("3/12"))}),
                 test::AudioFiller(700), Id3v1Tag({.album = "Disc"})}));
    aiff_ = drive_.Write("Music/b.aiff", test::AudioFiller(50));
    legacy_ = drive_.Write("c.mp3", Id3Join({test::AudioFiller(300),
                                             Id3v1Tag({.title = "\x83\x65", .artist = "\xC0"})}));
  }

  static std::vector<json> Lines(const test::ProgramResult& run) {
    std::vector<json> out;
    for (const std::string& line : test::SplitLines(run.output)) out.push_back(json::parse(line));
    return out;
  }

  test::TempDir drive_;
  std::string mp3_, aiff_, legacy_;
};

TEST_F(TagsCommandTest, PrintsOneObjectPerFileInArgumentOrder) {
  std::string missing = drive_.str(true) + "gone.mp3";
  test::ProgramResult run = test::RunQvlib({"tags", "--root", drive_.str(), mp3_, missing, aiff_});
  EXPECT_EQ(run.status, 1) << run.errors;
  std::vector<json> lines = Lines(run);
  ASSERT_EQ(lines.size(), 3u) << run.output;

  EXPECT_EQ(lines[0],
            json::parse(R"({"file": ")" + mp3_ + R"(", "status": 0, "type": 1, "size": )" +
                        std::to_string(std::filesystem::file_size(mp3_)) +
                        R"(, "track": 3, "genre": "Rock", "artist": "\ud83c\udfb5 Band",
                        "album": "Disc", "title": "T\u00edtulo \"1\"", "path": "/Music/a.mp3"})"));
  // The keys come in the documented order.
  EXPECT_EQ(test::SplitLines(run.output)[0].rfind("{\"file\": ", 0), 0u);
  EXPECT_EQ(lines[1], json::parse(R"({"file": ")" + missing + R"(", "status": 2})"));
  EXPECT_EQ(lines[2]["type"], 13);
  EXPECT_EQ(lines[2]["track"], nullptr);
  EXPECT_EQ(lines[2]["title"], "b.aiff");
  EXPECT_EQ(lines[2]["path"], "/Music/b.aiff");
}

TEST_F(TagsCommandTest, ExitsZeroWhenEveryFileWasRead) {
  // A root given without its final "/" still yields paths that begin with one.
  test::ProgramResult run = test::RunQvlib({"tags", "--root", drive_.str(), mp3_, legacy_});
  EXPECT_EQ(run.status, 0) << run.errors;
  std::vector<json> lines = Lines(run);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1]["path"], "/c.mp3");
}

// The stored path is the file's name below the root, with "." and ".." gone;
// a file outside the root (a folder whose name only begins like the root's
// included) is refused with a reason.
TEST_F(TagsCommandTest, PathsAreCutAtTheRootOnlyForFilesUnderIt) {
  const std::string d = drive_.str();
  const struct {
    std::string root, file, path;
  } cases[] = {
      {d, d + "/./Music/../Music/a.mp3", "/Music/a.mp3"},
      {d + "/Music/", d + "/Music/a.mp3", "/a.mp3"},
      {d + "/Music/..", d + "/c.mp3", "/c.mp3"},
      {d + "/Mus", d + "/Music/a.mp3", ""},
      {d + "/Music", d + "/c.mp3", ""},
      {d + "/Music", d + "/Music", ""},
  };
  for (const auto& c : cases) {
    test::ProgramResult run = test::RunQvlib({"tags", "--root", c.root, c.file});
    const json line = Lines(run).at(0);
    EXPECT_EQ(line["status"], c.path.empty() ? 2 : 0) << c.root << " " << c.file;
    EXPECT_EQ(run.status, c.path.empty() ? 1 : 0);
    const std::string shown = c.path.empty() ? std::string(run.errors) : line["path"].get<std::string>();
    EXPECT_NE(shown.find(c.path.empty() ? "is not under the root" : c.path), std::string::npos)
        << c.root << " " << c.file;
  }
}

TEST_F(TagsCommandTest, TagLanguageFromTheOptionOrTheLocale) {
  auto artist_and_title = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "tags");
    args.push_back(legacy_);
    test::ProgramResult run = test::RunQvlib(args);
    EXPECT_EQ(run.status, 0) << run.errors;
    std::vector<json> lines = Lines(run);
    return lines.empty()
               ? std::string()
               : lines[0]["artist"].get<std::string>() + "|" + lines[0]["title"].get<std::string>();
  };
  EXPECT_EQ(artist_and_title({"--lang", "ru"}),
            "\xD0\x90|\xD1\x93"
            "e");
  EXPECT_EQ(artist_and_title({"--lang", "ja"}), "\xEF\xBE\x80|\xE3\x83\x86");
  EXPECT_EQ(artist_and_title({}),
            "\xC3\x80|\xC6\x92"
            "e");  // no locale: English
  setenv("LANG", "ru_RU.UTF-8", 1);
  EXPECT_EQ(artist_and_title({}),
            "\xD0\x90|\xD1\x93"
            "e");
  setenv("LANGUAGE", "ja:ru", 1);
  EXPECT_EQ(artist_and_title({}), "\xEF\xBE\x80|\xE3\x83\x86");
  EXPECT_EQ(artist_and_title({"--lang", "de"}),
            "\xC3\x80|\xC6\x92"
            "e");
}

TEST_F(TagsCommandTest, UnpairedSurrogatesAreEscaped) {
  std::string odd = drive_.Write("d.mp3", Id3Join({Id3v2Tag(3, {Id3v2Frame(3, "TIT2",
                                                                           test::Id3Utf16(u"a\xD800"
                                                                                          u"b"))}),
                                                   test::AudioFiller(200)}));
  test::ProgramResult run = test::RunQvlib({"tags", odd});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find(R"("title": "a\ud800b")"), std::string::npos) << run.output;
}

TEST_F(TagsCommandTest, NamesThatAreNotUtf8FailButStillPrintValidJson) {
  std::string bad = drive_.Write("bad\xFF.mp3", test::AudioFiller(200));
  test::ProgramResult run = test::RunQvlib({"tags", bad});
  EXPECT_EQ(run.status, 1);
  std::vector<json> lines = Lines(run);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["status"], 2);
  EXPECT_EQ(lines[0].size(), 2u);
}

TEST_F(TagsCommandTest, BadUsageExits64WithAMessage) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"tags", "--lang", "pt", mp3_}, std::vector<std::string>{"tags"},
        std::vector<std::string>{"tags", "--bogus", mp3_}}) {
    test::ProgramResult run = test::RunQvlib(args);
    EXPECT_EQ(run.status, 64) << args.size();
    EXPECT_FALSE(run.errors.empty());
    EXPECT_TRUE(run.output.empty());
  }
}

}  // namespace
}  // namespace qv
