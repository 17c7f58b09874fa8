// qvlib tags, run as a user runs it, on files whose tags the test writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/id3_writer.h"
#include "support/real_files.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

TEST(TagsCommandTest, OneObjectPerFileInArgumentOrderInTheTagLanguage) {
  // The default tag language comes from the locale; start from none.
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
  TempDir drive;
  std::string mp3 =
      drive.Write("Music/a.mp3",
                  Id3Join({Id3v2Tag(3, {Id3v2Frame(3, "TIT2", Id3Utf16(u"T\u00EDtulo \"1\"\xD800")),
                                        Id3v2Frame(3, "TPE1", Id3Utf16(u"\U0001F3B5 Band")),
                                        Id3v2Frame(3, "TCON", Id3Latin("(17)")),
                                        Id3v2Frame(3, "TRCK", Id3Latin("3/12"))}),
                           AudioFiller(700), Id3v1Tag({.album = "Disc"})}));
  std::string aiff = drive.Write("Music/b.aiff", AudioFiller(50)),
              missing = drive.str(true) + "gone.mp3";
  std::string legacy = drive.Write(
      "c.mp3", Id3Join({AudioFiller(300), Id3v1Tag({.title = "\x83\x65", .artist = "\xC0"})}));
  std::string bad = drive.Write("bad\xFF.mp3", AudioFiller(200));
  // A root without its final "/" still gives paths that begin with one.
  ProgramResult run = RunQvlib({"tags", "--root", drive.str(), mp3, missing, aiff, bad});
  EXPECT_EQ(run.status, 1) << run.errors;
  std::vector<std::string> lines = SplitLines(run.output);
  ASSERT_EQ(lines.size(), 4u) << run.output;
  EXPECT_EQ(lines[0],
            R"({"file": ")" + mp3 + R"(", "status": 0, "type": 1, "size": )" +
                std::to_string(std::filesystem::file_size(mp3)) +
                R"(, "track": 3, "genre": "Rock", "artist": "🎵 Band", )"
                R"("album": "Disc", "title": "Título \"1\"\ud800", "path": "/Music/a.mp3"})");
  EXPECT_EQ(lines[1], R"({"file": ")" + missing + R"(", "status": 2})");
  auto third = nlohmann::json::parse(lines[2]);
  EXPECT_EQ(
      third["type"].dump() + third["track"].dump() + third["title"].dump() + third["path"].dump(),
      R"(13null"b.aiff""/Music/b.aiff")");
  EXPECT_EQ(nlohmann::json::parse(lines[3], nullptr, false).size(), 2u);  // valid JSON for any name
  // The tag language: --lang, else the locale, else English.
  const std::tuple<const char*, const char*, const char*, const char*> langs[] = {
      {"--lang=ru", nullptr, nullptr,
       "\xD0\x90|\xD1\x93"
       "e"},
      {"--lang=ja", nullptr, nullptr, "\xEF\xBE\x80|\xE3\x83\x86"},
      {nullptr, nullptr, nullptr,
       "\xC3\x80|\xC6\x92"
       "e"},
      {nullptr, "ru_RU.UTF-8", nullptr,
       "\xD0\x90|\xD1\x93"
       "e"},
      {nullptr, "ru_RU.UTF-8", "ja:ru", "\xEF\xBE\x80|\xE3\x83\x86"},
      {"--lang=de", "ru_RU.UTF-8", "ja:ru",
       "\xC3\x80|\xC6\x92"
       "e"}};
  for (const auto& [option, lang, language, expected] : langs) {
    lang ? setenv("LANG", lang, 1) : unsetenv("LANG");
    language ? setenv("LANGUAGE", language, 1) : unsetenv("LANGUAGE");
    std::vector<std::string> args = {"tags", legacy};
    if (option) args.insert(args.begin() + 1, {"--lang", option + 7});
    run = RunQvlib(args);
    EXPECT_EQ(run.status, 0) << run.errors;
    auto line = nlohmann::json::parse(run.output, nullptr, false);
    EXPECT_EQ(line.value("artist", "") + "|" + line.value("title", ""), expected)
        << (option ? option : "-") << (lang ? lang : "-");
  }
  for (std::vector<std::string> args : {std::vector<std::string>{"tags", "--lang", "pt", mp3},
                                        {"tags"},
                                        {"tags", "--bogus", mp3}}) {
    run = RunQvlib(args);
    EXPECT_EQ(run.status, 64) << args.size();
    EXPECT_TRUE(!run.errors.empty() && run.output.empty());
  }
}

}  // namespace
}  // namespace qv::test
