// qvlib create, update and drives, run as a user runs them, on drives made
// by the test.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/id3_writer.h"
#include "support/real_files.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class QvlibJobTest : public ::testing::Test {
 protected:
  // Songs 0 to n - 1, in folders of four by artist and album.
  void MakeDrive(int n) {
    for (int s = 0; s < n; ++s) {
      std::string artist = "Artist " + std::to_string(s / 8),
                  album = "Album " + std::to_string(s / 4);
      drive.Write(
          artist + "/" + album + "/" + std::to_string(s) + ".mp3",
          Id3Join(
              {AudioFiller(2000),
               Id3v1Tag(
                   {.title = "Song", .artist = artist, .album = album, .track = s, .genre = 17})}));
    }
  }
  ProgramResult Run(const std::string& command,
                    std::vector<std::string> options = {"--fs", "fat", "--yes"}) {
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
  EXPECT_EQ(r.status, 64);
  EXPECT_TRUE(
      Has(r.errors, "Are you sure you would like to create the library using these settings?"));
  r = Run("create", {"--yes"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.errors,
                  "TRN-3600 LIBRARY CREATOR\nCan only create a Library in the Root "
                  "Drectory.\nError Code : E-01"));
  EXPECT_EQ(Run("update").status, 64);  // nothing to update
  EXPECT_TRUE(Snapshot().empty());
  r = Run("create", {"--fs", "fat", "--yes", "--lang", "en"});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.output, "24 files are processed.\n");
  EXPECT_TRUE(Has(r.errors, "Creating..") && Has(r.errors, "\n100% ")) << r.errors;
  ProgramResult check = Run("check", {"--fs", "fat", "--created"});
  EXPECT_EQ(check.output.rfind("ok: 24 tracks", 0), 0u) << check.output;
  const auto before = Snapshot();
  EXPECT_EQ(before.size(), 3u);  // no backup left beside the library
  drive.Write("Broken/empty.mp3", {});
  r = Run("create", {"--fs", "fat", "--yes", "--on-unreadable", "abort"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.errors, "Error Code : E-02"));
  EXPECT_EQ(Snapshot(), before);
  r = Run("create");  // the overwrite question, answered by --yes
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.output, "24 files are processed.\n");
  EXPECT_TRUE(Has(r.errors, "skipped: " + drive.str() + "/Broken/empty.mp3"));
  const auto created = Snapshot();
  drive.Write("Artist 9/New/1.mp3", AudioFiller(300));
  r = Run("update");
  if (r.status == 0) {  // an update either completes or leaves the library as it was
    EXPECT_EQ(r.output, "1 files are processed.\n");
    EXPECT_EQ(Run("check", {"--fs", "fat"}).output.rfind("ok: 25 tracks", 0), 0u);
  } else {
    EXPECT_EQ(Snapshot(), created) << r.errors;
  }
  EXPECT_EQ(Snapshot().size(), 3u);
}

TEST_F(QvlibJobTest, HfsAndUsage) {
  MakeDrive(3);
  EXPECT_EQ(Run("create", {"--fs", "hfs", "--yes"}).status, 0);
  EXPECT_TRUE(fs::exists(drive.path() / ".QUORVEN/LIBRARY/QVTL.DB"));
  EXPECT_FALSE(fs::exists(drive.path() / "QUORVEN"));
  EXPECT_EQ(RunQvlib({"create"}).status, 64);
  for (auto [option, bad] :
       {std::pair{"--lang", "xx"}, {"--fs", "ntfs"}, {"--on-unreadable", "maybe"}})
    EXPECT_EQ(Run("create", {option, bad, "--yes"}).status, 64) << option;
  ProgramResult drives = RunQvlib({"drives"});
  EXPECT_EQ(drives.status, 0);
  EXPECT_TRUE(Has(drives.output, "\t/\t") && Has(drives.output, "\t3\tnot usable"))
      << drives.output;
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
  drive.Write("Broken/a.mp3", {});
  drive.Write("Broken/b.mp3", {});
  int terminal = -1;
  const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    execl(QV_QVLIB_PATH, "qvlib", "create", drive.str().c_str(), "--fs", "fat", nullptr);
    _exit(127);
  }
  std::string seen;
  ASSERT_TRUE(ReadUntil(terminal, &seen, "[OK/Cancel]", 100)) << seen;
  EXPECT_TRUE(Has(seen, "A previous Library has been located on the selected drive!"));
  ASSERT_EQ(write(terminal, "OK\n", 3), 3);
  ASSERT_TRUE(ReadUntil(terminal, &seen, "Skip or Abort? [S/a]", 100)) << seen;
  // Ctrl-C waits for that answer, then asks; a second Ctrl-C answers yes.
  ASSERT_EQ(write(terminal, "\x03", 1), 1);
  usleep(100000);
  ASSERT_EQ(write(terminal, "s\n", 2), 2);
  ASSERT_TRUE(
      ReadUntil(terminal, &seen, "Are you sure you want to Stop creating the library?", 100))
      << seen;
  ASSERT_EQ(write(terminal, "\x03", 1), 1);
  ReadUntil(terminal, &seen, "never shows", 30);
  int raw = 0;
  ASSERT_EQ(waitpid(pid, &raw, 0), pid);
  close(terminal);
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 130) << seen;
  EXPECT_FALSE(Has(seen, "files are processed."));
  EXPECT_EQ(Snapshot(), before);
}

}  // namespace
}  // namespace qv::test
