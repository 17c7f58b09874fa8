// qvlib create, update and drives, run as a user runs them, on drives made
// by the test.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "support/id3_writer.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::TempDir;

struct Result {
  int status;
  std::string out, err;
};

std::string Slurp(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs qvlib with stdin from /dev/null, so it has no terminal to ask.
Result Qvlib(const std::string& args) {
  TempDir io;
  const std::string command = std::string(QV_QVLIB_PATH) + " " + args + " </dev/null >" +
                              Quote((io.path() / "out").string()) + " 2>" +
                              Quote((io.path() / "err").string());
  const int raw = std::system(command.c_str());
  return Result{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(io.path() / "out"),
                Slurp(io.path() / "err")};
}

Bytes TaggedMp3(const std::string& artist, const std::string& album, const std::string& title,
                int track) {
  test::Id3v1Fields v1;
  v1.title = title, v1.artist = artist, v1.album = album, v1.track = track, v1.genre = 17;
  Bytes body = test::AudioFiller(2000);
  const Bytes tag = test::Id3v1Tag(v1);
  body.insert(body.end(), tag.begin(), tag.end());
  return body;
}

class QvlibJobTest : public ::testing::Test {
 protected:
  void MakeDrive(int artists, int albums, int songs) {
    for (int a = 0; a < artists; ++a) {
      for (int b = 0; b < albums; ++b) {
        for (int s = 0; s < songs; ++s) {
          const std::string artist = "Artist " + std::to_string(a), album = "Album " + std::to_string(b);
          drive.Write(artist + "/" + album + "/" + std::to_string(s) + " Song.mp3",
                      TaggedMp3(artist, album, "Song " + std::to_string(s), s + 1));
        }
      }
    }
  }
  Result Run(const std::string& command, const std::string& options = " --fs fat --yes") {
    return Qvlib(command + " " + Quote(drive.str()) + options);
  }
  std::map<std::string, Bytes> Snapshot() const {
    std::map<std::string, Bytes> files;
    if (!fs::exists(drive.path() / "QUORVEN")) return files;
    for (const auto& e : fs::recursive_directory_iterator(drive.path() / "QUORVEN")) {
      if (e.is_regular_file()) files[e.path().string()] = test::ReadFileBytes(e.path());
    }
    return files;
  }
  TempDir drive;
};

TEST_F(QvlibJobTest, CreateWritesALibraryThatPassesTheCheck) {
  MakeDrive(3, 2, 4);
  const Result r = Run("create", " --fs fat --yes --lang en");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "24 files are processed.\n");
  EXPECT_TRUE(Has(r.err, "Creating.."));
  const Result check = Run("check", " --fs fat --created");
  EXPECT_EQ(check.status, 0) << check.out;
  EXPECT_EQ(check.out.rfind("ok: 24 tracks", 0), 0u) << check.out;
  EXPECT_EQ(Snapshot().size(), 3u);  // no backup left beside the library
  // Again over the library just made: the overwrite question, answered by --yes.
  const Result again = Run("create");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(Snapshot().size(), 3u);
}

TEST_F(QvlibJobTest, HfsFolderGetsTheHiddenLibraryDirectory) {
  MakeDrive(1, 1, 3);
  EXPECT_EQ(Run("create", " --fs hfs --yes").status, 0);
  EXPECT_TRUE(fs::exists(drive.path() / ".QUORVEN/LIBRARY/QVTL.DB"));
  EXPECT_FALSE(fs::exists(drive.path() / "QUORVEN"));
}

TEST_F(QvlibJobTest, RefusalsLeaveTheDriveAlone) {
  MakeDrive(1, 1, 2);
  // No terminal to ask the start question and no --yes.
  const Result r = Run("create", " --fs fat");
  EXPECT_EQ(r.status, 64);
  EXPECT_TRUE(Has(r.err, "--yes"));
  EXPECT_TRUE(Has(r.err, "Are you sure you would like to create the library using these settings?"));
  // A folder without a file system kind is not a drive.
  const Result folder = Run("create", " --yes");
  EXPECT_EQ(folder.status, 1);
  EXPECT_TRUE(Has(folder.err, "TRN-3600 LIBRARY CREATOR\nCan only create a Library in the Root "
                              "Drectory.\nError Code : E-01"));
  EXPECT_FALSE(fs::exists(drive.path() / "QUORVEN"));
  EXPECT_EQ(Run("update").status, 64);  // nothing to update
}

// Each refusal names the path and the cause: a drive that is not there is bad
// usage; a file in the way of the library folders is error 4 with the path.
TEST_F(QvlibJobTest, MessagesNameThePathAndTheCause) {
  MakeDrive(1, 1, 1);
  const std::string d = drive.str();
  drive.Write("song.mp3", TaggedMp3("A", "B", "C", 1));
  const struct {
    std::string in_the_way, drive, options;
    int status;
    std::string message;
  } cases[] = {
      {"", d + "/gone", " --yes", 64, "\"" + d + "/gone\" as the drive: No such file or directory"},
      {"", d + "/gone", " --fs fat --yes", 64, "No such file or directory"},
      {"", "", " --fs fat --yes", 64, "\"\" as the drive: the path is empty"},
      {"", d + "/song.mp3", " --fs fat --yes", 64, "Not a directory"},
      {"", "/", " --yes", 6, "E-06\n/: not usable: start-up volume\n"},
      {"QUORVEN", d, " --fs fat --yes", 4, "E-04\n" + d + "/QUORVEN: Not a directory\n"},
      {"QUORVEN/LIBRARY", d, " --fs fat --yes", 4, "E-04\n" + d + "/QUORVEN/LIBRARY: Not a directory\n"},
  };
  for (const auto& c : cases) {
    if (!c.in_the_way.empty()) drive.Write(c.in_the_way, {});
    const Result r = Qvlib("create " + Quote(c.drive) + c.options);
    EXPECT_EQ(r.status, c.status) << c.message;
    EXPECT_TRUE(Has(r.err, c.message)) << r.err;
    fs::remove_all(drive.path() / "QUORVEN");
  }
}

TEST_F(QvlibJobTest, UnreadableFilesAreSkippedAndListedOrAbortTheJob) {
  MakeDrive(2, 1, 3);
  ASSERT_EQ(Run("create").status, 0);
  const auto before = Snapshot();
  drive.Write("Broken/empty.mp3", {});
  const Result aborted = Run("create", " --fs fat --yes --on-unreadable abort");
  EXPECT_EQ(aborted.status, 2);
  EXPECT_TRUE(Has(aborted.err, "Error Code : E-02"));
  EXPECT_EQ(Snapshot(), before);
  const Result skipped = Run("create");
  EXPECT_EQ(skipped.status, 0) << skipped.err;
  EXPECT_EQ(skipped.out, "6 files are processed.\n");
  EXPECT_TRUE(Has(skipped.err, "skipped: " + drive.str() + "/Broken/empty.mp3"));
}

TEST_F(QvlibJobTest, UpdateNeverLeavesAHalfWrittenLibrary) {
  MakeDrive(1, 2, 2);
  ASSERT_EQ(Run("create").status, 0);
  const auto before = Snapshot();
  drive.Write("Artist 9/New/1.mp3", TaggedMp3("Artist 9", "New", "Fresh", 1));
  const Result r = Run("update");
  if (r.status == 0) {
    EXPECT_EQ(r.out, "1 files are processed.\n");
    EXPECT_EQ(Run("check", " --fs fat").status, 0);
  } else {
    EXPECT_EQ(Snapshot(), before) << r.err;
  }
  EXPECT_EQ(Snapshot().size(), 3u);
}

// Reads what the child wrote to the terminal until text shows up or the wait
// runs out.
bool ReadUntil(int fd, std::string* seen, const std::string& text, int tenths) {
  for (int i = 0; i < tenths * 10 && !Has(*seen, text); ++i) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10) > 0) {
      char buffer[4096];
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      seen->append(buffer, static_cast<size_t>(n));
    }
  }
  return Has(*seen, text);
}

TEST_F(QvlibJobTest, OnATerminalTheQuestionsAreAskedAndTwoInterruptsCancel) {
  MakeDrive(1, 1, 3);
  ASSERT_EQ(Run("create").status, 0);
  const auto before = Snapshot();
  // More songs and two files that cannot be read: the first one's question
  // holds the job in its main pass, with one more file to come.
  MakeDrive(2, 2, 3);
  drive.Write("Broken/a.mp3", {});
  drive.Write("Broken/b.mp3", {});
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const std::string path = drive.str();
    execl(QV_QVLIB_PATH, "qvlib", "create", path.c_str(), "--fs", "fat", nullptr);
    _exit(127);
  }
  std::string seen;
  ASSERT_TRUE(ReadUntil(terminal, &seen, "[OK/Cancel]", 100)) << seen;
  EXPECT_TRUE(Has(seen, "A previous Library has been located on the selected drive!"));
  ASSERT_EQ(write(terminal, "OK\n", 3), 3);
  // On a terminal an unreadable file is a question.
  ASSERT_TRUE(ReadUntil(terminal, &seen, "Skip or Abort? [S/a]", 100)) << seen;
  // Ctrl-C waits for that answer, then asks; a second Ctrl-C answers yes.
  ASSERT_EQ(write(terminal, "\x03", 1), 1);
  usleep(100000);
  ASSERT_EQ(write(terminal, "s\n", 2), 2);
  ASSERT_TRUE(ReadUntil(terminal, &seen, "Are you sure you want to Stop creating the library?", 100))
      << seen;
  ASSERT_EQ(write(terminal, "\x03", 1), 1);
  ReadUntil(terminal, &seen, "never shows", 30);
  int raw = 0;
  ASSERT_EQ(waitpid(pid, &raw, 0), pid);
  close(terminal);
  ASSERT_TRUE(WIFEXITED(raw));
  EXPECT_EQ(WEXITSTATUS(raw), 130) << seen;
  EXPECT_FALSE(Has(seen, "files are processed."));
  EXPECT_EQ(Snapshot(), before);
}

TEST(QvlibUsage, BadUsageExitsSixtyFourAndDrivesListsTheRootAsNotUsable) {
  for (const char* args : {"create", "create /x --lang xx --yes", "create /x --fs ntfs --yes",
                           "create /x --on-unreadable maybe --yes"}) {
    EXPECT_EQ(Qvlib(args).status, 64) << args;
  }
  const Result help = Qvlib("--help");
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"drives", "create", "update"}) EXPECT_TRUE(Has(help.out, command));
  const Result r = Qvlib("drives");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Has(r.out, "\t/\t")) << r.out;
  EXPECT_TRUE(Has(r.out, "\t3\tnot usable")) << r.out;
}

}  // namespace
}  // namespace qv
