// qvlib run as a user runs it: create, update, check, dump and tags on drives
// and libraries the test makes.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "library/files/library_reader.h"
#include "support/id3_writer.h"
#include "support/library_fixture.h"
#include "support/real_files.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {
// clang-format off

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class QvlibJobTest : public ::testing::Test {
 protected:
  // Songs 0 to n - 1, in folders of four by artist and album.
  void MakeDrive(int n) {
    for (int s = 0; s < n; ++s) {
      std::string artist = "Artist " + std::to_string(s / 8), album = "Album " + std::to_string(s / 4);
      drive.Write(artist + "/" + album + "/" + std::to_string(s) + ".mp3",
                  Id3Join({AudioFiller(2000), Id3v1Tag({"Song", artist, album, "", "", s, 17})}));
    }
  }
  ProgramResult Run(const std::string& command, std::vector<std::string> options = {"--fs", "fat", "--yes"}) {
    options.insert(options.begin(), {command, drive.str()});
    return RunQvlib(options);
  }
  std::map<std::string, Bytes> Snapshot() const {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::recursive_directory_iterator(drive.path()))
      if (e.is_regular_file() && Has(e.path().string(), "QUORVEN"))
        files[e.path().string()] = ReadFileBytes(e.path());
    return files;
  }
  TempDir drive;
};

// Refusals, create, check, an aborted and a skipping create, then update:
// what the drive holds at each step.
TEST_F(QvlibJobTest, CreateCheckUpdateRoundTrip) {
  MakeDrive(24);
  // Without a terminal and --yes, or without a file system kind, nothing starts.
  ProgramResult r = Run("create", {"--fs", "fat"});
  EXPECT_EQ(std::tuple(r.status, Has(r.errors, "Are you sure you would like to create the library using these settings?")), std::tuple(64, true));
  r = Run("create", {"--yes"});
  EXPECT_EQ(std::tuple(r.status, Has(r.errors, "TRN-3600 LIBRARY CREATOR\nCan only create a Library in the Root "
                                               "Drectory.\nError Code : E-01")), std::tuple(1, true)) << r.errors;
  EXPECT_EQ((std::tuple{Run("update").status, Snapshot().size()}), std::tuple(64, 0));  // nothing to update
  r = Run("create", {"--fs", "fat", "--yes", "--lang", "en"});
  EXPECT_EQ(std::tuple(r.status, r.output), std::tuple(0, "24 files are processed.\n")) << r.errors;
  EXPECT_EQ(std::tuple(Has(r.errors, "Creating.."), Has(r.errors, "\n100% ")), std::tuple(true, true)) << r.errors;
  EXPECT_EQ(Run("check", {"--fs", "fat", "--created"}).output.rfind("ok: 24 tracks", 0), 0u);
  const auto before = Snapshot();
  EXPECT_EQ(before.size(), 3u);  // no backup left beside the library
  drive.Write("Broken/\x9b.mp3", {});  // an 8-bit CSI in a name
  r = Run("create", {"--fs", "fat", "--yes", "--on-unreadable", "abort"});
  EXPECT_EQ(std::tuple(r.status, Has(r.errors, "Error Code : E-02")), std::tuple(2, true)) << r.errors;
  EXPECT_EQ(Snapshot(), before);
  r = Run("create");  // the overwrite question, answered by --yes
  EXPECT_EQ(std::tuple(r.status, r.output), std::tuple(0, "24 files are processed.\n")) << r.errors;
  EXPECT_TRUE(Has(r.errors, "skipped: " + drive.str() + "/Broken/\\x9b.mp3")) << r.errors;
  const auto created = Snapshot();
  drive.Write("Artist 9/New/1.mp3", AudioFiller(300));
  r = Run("update");
  if (r.status == 0) {  // an update either completes or leaves the library as it was
    EXPECT_EQ(r.output, "1 files are processed.\n");
    EXPECT_EQ(Run("check", {"--fs", "fat"}).output.rfind("ok: 25 tracks", 0), 0u);
  } else { EXPECT_EQ(Snapshot(), created) << r.errors; }
  EXPECT_EQ(Snapshot().size(), 3u);
  // A damaged library is refused untouched; copies an interrupted job left
  // beside a missing file are put back and updated.
  const fs::path lib = drive.path() / "QUORVEN/LIBRARY";
  Bytes track_list = ReadFileBytes(lib / "QVTL.DB"), damaged = track_list;
  std::fill_n(damaged.begin() + 136, 4, 0);
  WriteFileBytes(lib / "QVTL.DB", damaged);
  const auto before_damaged = Snapshot();
  r = Run("update");
  EXPECT_EQ(std::tuple(r.status, Has(r.errors, "QVTL.DB, byte "), Has(r.errors, "; Create rebuilds the library")), std::tuple(3, true, true)) << r.errors;
  EXPECT_EQ(Snapshot(), before_damaged);
  WriteFileBytes(lib / "QVTL.DB", track_list);
  for (const char* name : {"QVTL.DB", "QVBL.DB", "QVDB.DB"}) fs::copy_file(lib / name, lib.parent_path() / (name + std::string(".bak")));
  fs::remove(lib / "QVBL.DB");
  EXPECT_EQ((std::tuple{Run("update").status, Run("check", {"--fs", "fat"}).status, Snapshot().size()}), std::tuple(0, 0, 3));
}

TEST_F(QvlibJobTest, HfsAndUsage) {
  MakeDrive(3);
  EXPECT_EQ((std::tuple{Run("create", {"--fs", "hfs", "--yes"}).status, fs::exists(drive.path() / "QUORVEN")}), std::tuple(0, false));
  EXPECT_TRUE(fs::exists(drive.path() / ".QUORVEN/LIBRARY/QVTL.DB"));
  EXPECT_EQ(RunQvlib({"create"}).status, 64);
  for (auto [option, bad] : {std::pair{"--lang", "xx"}, {"--fs", "ntfs"}, {"--on-unreadable", "maybe"}})
    EXPECT_EQ(Run("create", {option, bad, "--yes"}).status, 64) << option;
  ProgramResult drives = RunQvlib({"drives"});
  EXPECT_EQ(std::tuple(drives.status, Has(drives.output, "\t/\t"), Has(drives.output, "\t3\tnot usable")), std::tuple(0, true, true));
}

// Each refusal names the path and the cause: a drive that is not there is bad
// usage; a file in the way of the library folders is error 4 with the path.
TEST_F(QvlibJobTest, MessagesNameThePathAndTheCause) {
  MakeDrive(1);
  const std::string d = drive.str();
  const struct { std::string in_the_way, drive; bool fs; int status; std::string message; } cases[] = {
      {"", d + "/gone", false, 64, "\"" + d + "/gone\" as the drive: No such file or directory"},
      {"", d + "/gone", true, 64, "No such file or directory"},
      {"", "", true, 64, "\"\" as the drive: the path is empty"},
      {"", d + "/Artist 0/Album 0/0.mp3", true, 64, "Not a directory"},
      {"", "/", false, 6, "E-06\n/: not usable: start-up volume\n"},
      {"QUORVEN", d, true, 4, "E-04\n" + d + "/QUORVEN: Not a directory\n"},
      {"QUORVEN/LIBRARY", d, true, 4, "E-04\n" + d + "/QUORVEN/LIBRARY: Not a directory\n"},
  };
  for (const auto& c : cases) {
    if (!c.in_the_way.empty()) drive.Write(c.in_the_way, {});
    std::vector<std::string> args = {"create", c.drive, "--yes"};
    if (c.fs) args.insert(args.end(), {"--fs", "fat"});
    const ProgramResult r = RunQvlib(args);
    EXPECT_EQ(std::tuple(r.status, Has(r.errors, c.message)), std::tuple(c.status, true)) << c.message << "\n" << r.errors;
    fs::remove_all(drive.path() / "QUORVEN");
  }
}

// Reads what the child wrote to the terminal until text shows up or the wait runs out.
bool ReadUntil(int fd, std::string* seen, const std::string& text, int tenths) {
  for (int i = 0; i < tenths * 10 && !Has(*seen, text); ++i) {
    pollfd p{fd, POLLIN, 0};
    char buffer[4096];
    ssize_t n = poll(&p, 1, 10) > 0 ? read(fd, buffer, sizeof buffer) : 0;
    if (n < 0) break;
    seen->append(buffer, static_cast<size_t>(n));
  }
  return Has(*seen, text);
}

TEST_F(QvlibJobTest, OnATerminalTheQuestionsAreAskedAndTwoInterruptsCancel) {
  MakeDrive(3);
  ASSERT_EQ(Run("create").status, 0);
  const auto before = Snapshot();
  // Two unreadable files: the first one's question holds the main pass.
  MakeDrive(12);
  drive.Write("Broken/a.mp3", {}), drive.Write("Broken/b.mp3", {});
  int terminal = -1;
  winsize narrow{24, 40, 0, 0};  // progress lines are cut to fit
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, &narrow);
  ASSERT_GE(pid, 0);
  if (pid == 0) execl(QV_QVLIB_PATH, "qvlib", "create", drive.str().c_str(), "--fs", "fat", nullptr), _exit(127);
  std::string seen;
  ASSERT_TRUE(ReadUntil(terminal, &seen, "[OK/Cancel]", 100)) << seen;
  EXPECT_TRUE(Has(seen, "A previous Library has been located on the selected drive!"));
  ASSERT_EQ(write(terminal, "OK\n", 3), 3);
  ASSERT_TRUE(ReadUntil(terminal, &seen, "Skip or Abort? [S/a]", 100)) << seen;
  // Ctrl-C waits for that answer, then asks; a second Ctrl-C answers yes.
  ASSERT_EQ(write(terminal, "\x03", 1), 1);
  usleep(100000);
  ASSERT_EQ(write(terminal, "s\n", 2), 2);
  ASSERT_TRUE(ReadUntil(terminal, &seen, "Are you sure you want to Stop creating the library?", 100)) << seen;
  ASSERT_EQ(write(terminal, "\x03", 1), 1);
  ReadUntil(terminal, &seen, "never shows", 30);
  int raw = 0;
  ASSERT_EQ(waitpid(pid, &raw, 0), pid);
  close(terminal);
  EXPECT_EQ(std::tuple(WIFEXITED(raw) != 0, WEXITSTATUS(raw), Has(seen, "files are processed.")), std::tuple(true, 130, false)) << seen;
  EXPECT_EQ(Snapshot(), before);
  for (size_t at = seen.find("\r\033[K"); at != std::string::npos; at = seen.find("\r\033[K", at + 1))
    EXPECT_LT(seen.find_first_of("\r\n", at + 4) - at - 4, 40u) << seen;
}

using nlohmann::json;

// Builds the tracks, checks the library with the create rules and compares
// the dumped tracks, and the genre tree, with the ones that went in.
void BuildCheckAndDump(const TempDir& drive, const std::vector<TrackSpec>& tracks) {
  EXPECT_EQ(BuildLibrary(drive.str(true), tracks), 0);
  EXPECT_EQ(RunQvlib({"check", "--created", "--fs", "fat", drive.str()}).status, 0);
  ProgramResult dump = RunQvlib({"dump", "--json", "--fs", "fat", drive.str()});
  json doc = json::parse(dump.output, nullptr, false);
  std::map<std::string, std::string> dumped, wanted;
  for (const json& t : doc["tracks"])
    dumped[t["path"]] = t["genre"].dump() + t["artist"].dump() + t["album"].dump() +
                        t["title"].dump() + t["file_size"].dump() + t["file_type"].dump() + t["number"].dump();
  for (const TrackSpec& t : tracks)
    wanted[LibraryTextToUtf8(t.path)] = json(LibraryTextToUtf8(t.genre)).dump() + json(LibraryTextToUtf8(t.artist)).dump() +
                                json(LibraryTextToUtf8(t.album)).dump() + json(LibraryTextToUtf8(t.title)).dump() +
                                std::to_string(t.file_size) + std::to_string(t.file_type) +
                                (t.track_number == 0xFFFF ? "null" : std::to_string(t.track_number));
  EXPECT_EQ(dumped, wanted);
  size_t in_tree = 0;  // every track sits once in the genre tree
  for (const json& g : doc["genres"]) for (const json& a : g["artists"])
      for (const json& b : a["albums"]) in_tree += b["tracks"].size();
  EXPECT_EQ(in_tree, tracks.size());
}

TEST(LibraryCommandsTest, CheckSummaryFaultsDumpTextAndUsage) {
  TempDir drive;
  auto track = [](const char* genre, const char* artist, const char* album, const char* title, const char* path,
                  uint16_t number) { return TrackSpec{U16(genre), U16(artist), U16(album), U16(title), U16(path), number}; };
  BuildCheckAndDump(drive, {track("Rock", "Alpha", "One", "Start", "/m/a1.mp3", 1),
                            track("Jazz", "Beta", "Two", "Blue", "/m/b2.mp3", 2),
                            track("Rock", "Beta", "One", "Caf\u00e9", "/m/b1.mp3", 0xFFFF)});
  ProgramResult run = RunQvlib({"check", drive.str()});
  EXPECT_EQ(std::tuple(run.status, run.output.rfind("ok: 3 tracks, 2 genres, 2 artists, 2 albums", 0), SplitLines(run.output).size()),
            std::tuple(0, 0, 1)) << run.output;
  run = RunQvlib({"dump", drive.str()});
  size_t jazz = run.output.find("Genre \"Jazz\"\n  Artist \"Beta\"\n    Album \"Two\"\n");
  EXPECT_LT(jazz, run.output.find("Genre \"Rock\"\n  Artist \"Alpha\"\n")) << run.output;
  EXPECT_EQ(std::tuple(Has(run.output, "    -  Caf\xc3\xa9  /m/b1.mp3\n"), Has(run.output, "QVDB.DB: next track id 3, 2 chunks")), std::tuple(true, true));
  run = RunQvlib({"check", "--fs", "hfs", drive.str()});
  EXPECT_EQ(std::tuple(run.status, Has(run.output, "QVTL.DB, byte 0")), std::tuple(1, true)) << run.output;
  // A damaged file: the check names it and the dump refuses it.
  std::string browse = LibraryDirectory(drive.str(true)) + "/QVBL.DB";
  std::vector<uint8_t> bytes = ReadFileBytes(browse);
  bytes[bytes.size() - 2] ^= 0x7F;
  WriteFileBytes(browse, bytes);
  run = RunQvlib({"check", drive.str()});
  EXPECT_EQ(std::tuple(run.status, Has(run.output, "QVBL.DB, byte "), RunQvlib({"dump", drive.str()}).status), std::tuple(1, true, 1)) << run.output;
  WriteFileBytes(browse, {});  // an empty file is short, not unreadable
  EXPECT_TRUE(Has(RunQvlib({"check", drive.str()}).output, "QVBL.DB, byte 0: the file is shorter than its 16-byte header"));
  for (std::vector<std::string> args : {std::vector<std::string>{"check"}, {"dump"},
                                        {"check", "/tmp", "--fs", "ntfs"}, {"dump", "/tmp", "--colour"}})
    EXPECT_EQ(RunQvlib(args).status, 64) << args[0];
}

// Control characters from tags and names cannot reach the terminal or split
// a line of the listing; JSON keeps the texts as they are.
TEST(LibraryCommandsTest, DumpEscapesControlCharacters) {
  TempDir drive;
  ASSERT_EQ(BuildLibrary(drive.str(true), {TrackSpec{u"G \x1b[2J", u"A\tB", u"C\\D", u"T\nU\x7f\u009b", u"/m/\r.mp3", 1}}), 0);
  ProgramResult text = RunQvlib({"dump", "--fs", "fat", drive.str()});
  for (const char* shown : {"Genre \"G \\x1b[2J\"\n", "Artist \"A\\tB\"\n", "Album \"C\\\\D\"\n",
                            "  T\\nU\\x7f\\u009b  /m/\\r.mp3\n"})
    EXPECT_TRUE(Has(text.output, shown)) << shown << text.output;
  for (char c : text.output) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
  ProgramResult run = RunQvlib({"dump", "--json", "--fs", "fat", drive.str()});
  EXPECT_EQ(json::parse(run.output)["tracks"][0]["title"], "T\nU\x7f\u009b");
}

// The stored path is the file's name below the root, with "." and ".." gone;
// a file outside the root (a folder whose name only begins like the root's
// included) is refused with a reason.
TEST(TagsCommandTest, PathsAreCutAtTheRootOnlyForFilesUnderIt) {
  TempDir drive;
  drive.Write("Music/a.mp3", Id3Join({AudioFiller(100)})), drive.Write("c.mp3", Id3Join({AudioFiller(100)}));
  const std::string d = drive.str();
  const struct { std::string root, file, path; } cases[] = {
      {d, d + "/./Music/../Music/a.mp3", "/Music/a.mp3"}, {d + "/Music/", d + "/Music/a.mp3", "/a.mp3"},
      {d + "/Music/..", d + "/c.mp3", "/c.mp3"}, {d + "/Mus", d + "/Music/a.mp3", ""},
      {d + "/Music", d + "/c.mp3", ""}, {d + "/Music", d + "/Music", ""}, {"/", "/", ""},
  };
  for (const auto& c : cases) {
    ProgramResult run = RunQvlib({"tags", "--root", c.root, c.file});
    const json line = json::parse(SplitLines(run.output).at(0));
    EXPECT_EQ(std::tuple(line["status"].get<int>(), run.status), c.path.empty() ? std::tuple(2, 1) : std::tuple(0, 0)) << c.root << " " << c.file;
    const std::string shown = c.path.empty() ? run.errors : line["path"].get<std::string>();
    EXPECT_TRUE(Has(shown, c.path.empty() ? "is not under the root" : c.path)) << c.root << " " << c.file;
  }
}

TEST(TagsCommandTest, OneObjectPerFileInArgumentOrderInTheTagLanguage) {
  // The default tag language comes from the locale; start from none.
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
  TempDir drive;
  std::string mp3 = drive.Write("Music/a.mp3", Id3Join({Id3v2Tag(3, {Id3v2Frame(3, "TIT2",
      Id3Utf16(u"T\u00EDtulo \"1\"\xD800")), Id3v2Frame(3, "TPE1", Id3Utf16(u"\U0001F3B5 Band")), Id3v2Frame(3,
      "TCON", Id3Latin("(17)")), Id3v2Frame(3, "TRCK", Id3Latin("3/12"))}), AudioFiller(700), Id3v1Tag({.album = "Disc"})}));
  std::string aiff = drive.Write("Music/b.aiff", AudioFiller(50)), missing = drive.str(true) + "gone.mp3",
              bad = drive.Write("bad\xFF.mp3", AudioFiller(200)),
              legacy = drive.Write("c.mp3", Id3Join({AudioFiller(300), Id3v1Tag({.title = "\x83\x65", .artist = "\xC0"})}));
  // A root without its final "/" still gives paths that begin with one.
  ProgramResult run = RunQvlib({"tags", "--root", drive.str(), mp3, missing, aiff, bad});
  std::vector<std::string> lines = SplitLines(run.output);
  ASSERT_EQ(std::tuple(run.status, lines.size()), std::tuple(1, 4)) << run.output << run.errors;
  EXPECT_EQ(lines[0], R"({"file": ")" + mp3 + R"(", "status": 0, "type": 1, "size": )" +
                         std::to_string(std::filesystem::file_size(mp3)) + R"(, "track": 3, "genre": "Rock", "artist": "🎵 Band", )"
                         R"("album": "Disc", "title": "Título \"1\"\ud800", "path": "/Music/a.mp3"})");
  EXPECT_EQ(lines[1], R"({"file": ")" + missing + R"(", "status": 2})");
  auto third = nlohmann::json::parse(lines[2]);
  EXPECT_EQ(std::tuple(third["type"], third["track"], third["title"], third["path"]),
            std::tuple(json(13), json(nullptr), json("b.aiff"), json("/Music/b.aiff")));
  EXPECT_EQ(nlohmann::json::parse(lines[3], nullptr, false).size(), 2u);  // valid JSON for any name
  // The tag language: --lang, else the locale, else English.
  const char *ru = "\xD0\x90|\xD1\x93" "e", *ja = "\xEF\xBE\x80|\xE3\x83\x86", *en = "\xC3\x80|\xC6\x92" "e";
  const std::tuple<const char*, const char*, const char*, const char*> langs[] = {
      {"--lang=ru", nullptr, nullptr, ru}, {"--lang=ja", nullptr, nullptr, ja}, {nullptr, nullptr, nullptr, en},
      {nullptr, "ru_RU.UTF-8", nullptr, ru}, {nullptr, "ru_RU.UTF-8", "ja:ru", ja}, {"--lang=de", "ru_RU.UTF-8", "ja:ru", en}};
  for (const auto& [option, lang, language, expected] : langs) {
    lang ? setenv("LANG", lang, 1) : unsetenv("LANG");
    language ? setenv("LANGUAGE", language, 1) : unsetenv("LANGUAGE");
    std::vector<std::string> args = {"tags", legacy};
    if (option) args.insert(args.begin() + 1, {"--lang", option + 7});
    run = RunQvlib(args);
    auto line = nlohmann::json::parse(run.output, nullptr, false);
    EXPECT_EQ(line.value("artist", "") + "|" + line.value("title", ""), expected)
        << (option ? option : "-") << (lang ? lang : "-");
  }
  for (std::vector<std::string> args :
       {std::vector<std::string>{"tags", "--lang", "pt", mp3}, {"tags"}, {"tags", "--bogus", mp3}}) {
    run = RunQvlib(args);
    EXPECT_EQ(std::tuple(run.status, run.errors.empty(), run.output.empty()), std::tuple(64, false, true)) << args.size();
  }
}

// clang-format on
}  // namespace
}  // namespace qv::test
