// Tags read ahead by several threads make the library and alerts of one file
// at a time; a cancelled or aborted job puts the old library back either way.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "job/backup.h"
#include "job/file_list.h"
#include "job/job_driver.h"
#include "support/faulty_file_door.h"
#include "support/id3_writer.h"
#include "support/library_fixture.h"
#include "support/scripted_job_host.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

std::atomic<int> g_inserts{0};
int g_cancel_at = -1;
JobDriver* g_pool_driver = nullptr;

void CountInsert() { if (g_inserts++ == g_cancel_at) g_pool_driver->AskCancel(), g_pool_driver->AnswerCancel(true); }

// The library engine, with batches that spill every few dozen tracks, and a
// cancel at the chosen insert.
JobEngine TestEngine() {
  JobEngine e = LibraryEngine();
  e.OpenBuild = [](const char* root, uint32_t kind) { return test::OpenTestBuild(root, {kind, 6000, {}}); };
  e.AddFileToBuild = [](const char* path, int language) {
    const int r = AddFileToBuild(path, language);
    return r == 0 ? (CountInsert(), r) : r;
  };
  e.AddTagsToBuild = [](const TrackTags* tags) { return CountInsert(), AddTagsToBuild(tags); };
  return e;
}

struct Outcome {
  std::map<std::string, std::vector<uint8_t>> files;
  std::vector<std::string> alert_files;
  int made = 0, skipped = 0, inserts = 0, raised = 0;
  bool operator==(const Outcome&) const = default;
};

Outcome Create(const test::TempDir& drive, int readers, int cancel_at, std::deque<int> answers,
               bool create = true) {
  FileListInit(), ClearBackupPaths(), g_inserts = 0, g_cancel_at = cancel_at;
  JobState state;  // on a FAT drive
  state.CreateMode = create;
  std::snprintf(state.MakePath, sizeof state.MakePath, "%s", drive.str().c_str());
  std::snprintf(state.FileSystem, sizeof state.FileSystem, "msdos");
  test::ScriptedJobHost host;
  host.unreadable_answers = answers;
  JobSettings settings = JobSettings::Immediate();
  settings.kind_override = kFileSystemFat, settings.tag_readers = readers;
  JobDriver driver(state, host, TestEngine(), settings);
  g_pool_driver = &driver, driver.Start(), driver.Wait();
  Outcome out{{}, host.alert_files, Load(state.MakeCount), Load(state.ErrorCount), g_inserts, driver.RaisedError()};
  for (const auto& e : std::filesystem::recursive_directory_iterator(drive.path() / "QUORVEN"))
    if (e.is_regular_file()) out.files[e.path().string()] = test::ReadFileBytes(e.path());
  FileListClear();
  return out;
}

void WriteSongs(const test::TempDir& drive, int from, int to) {
  for (int i = from; i < to; ++i) {  // names repeat: equal keys show their order
    const test::Id3v1Fields tag{.title = std::string("Song ") + std::to_string(i % 30), .artist = std::string("Artist ") + std::to_string(i % 7),
                                .album = std::string("Album ") + std::to_string(i % 11), .track = i % 4};
    drive.Write(std::string("M") + std::to_string(i % 5) + "/s" + std::to_string(i) + ".mp3",
                test::Id3Join({test::AudioFiller(300), test::Id3v1Tag(tag)}));
  }
}

TEST(TagReaderPool, SeveralReadersMakeTheLibraryOfOne) {
  struct Case { const char* name; int songs, cancel_at; std::deque<int> answers; };
  // More songs than the read-ahead window, so that its slots are reused.
  const Case cases[] = {{"skip", 40, -1, {kAnswerDefault}}, {"many", 700, -1, {}},
                        {"abort", 40, -1, {kAnswerDefault, kAnswerAlternate}}, {"cancel", 700, 400, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir drive;
    WriteSongs(drive, 0, c.songs);
    for (const char* broken : {"M1/broken.mp3", "M3/broken.mp3"}) drive.Write(broken, {});
    // One reader, not stopped: the library any run must leave behind.
    const Outcome old = Create(drive, 1, -1, {});
    ASSERT_EQ(old.files.size(), 3u);
    const Outcome one = Create(drive, 1, c.cancel_at, c.answers);
    EXPECT_EQ(one.files, old.files);
    EXPECT_EQ(one.inserts, c.cancel_at < 0 ? one.made : c.cancel_at + 1);  // a cancel stops at once
    for (int readers : {2, 8}) EXPECT_EQ(Create(drive, readers, c.cancel_at, c.answers), one);
  }
}

TEST(TagReaderPool, AnUpdateMatchesAndAddsWhatOneReaderDoes) {
  // A library file that cannot be opened while found files are matched is
  // asked about first, then the new file whose tags cannot be read.
  for (const std::deque<int>& answers : {std::deque<int>{kAnswerDefault, kAnswerDefault}, std::deque<int>{kAnswerAlternate}}) {
    test::TempDir drive;
    WriteSongs(drive, 0, 100);
    const Outcome old = Create(drive, 1, -1, {});
    WriteSongs(drive, 100, 500), drive.Write("M2/broken.mp3", {});
    test::FaultyFileDoor door;
    test::ScopedFileDoor installed(&door);
    door.FailFrom(test::FileOp::kOpen, 1, "/s7.mp3");
    const Outcome one = Create(drive, 1, -1, answers, false);
    ASSERT_EQ(one.alert_files.size(), answers.size());
    for (const auto& [path, bytes] : old.files) test::WriteFileBytes(path, bytes);
    door.FailFrom(test::FileOp::kOpen, 1, "/s7.mp3");
    const Outcome eight = Create(drive, 8, -1, answers, false);
    EXPECT_EQ(eight.inserts, answers.size() == 2 ? 400 : 0);  // through the readers
    EXPECT_EQ(std::tuple(eight.files, eight.alert_files), std::tuple(one.files, one.alert_files));
    EXPECT_EQ(eight.files != old.files, answers.size() == 2);
  }
}

// While the cancel question is open the entry the job thread waits for is read, and no other.
TEST(TagReaderPool, HeldReadersReadOnlyTheAwaitedEntry) {
  static std::atomic<int> reads{0};
  std::atomic<int32_t> ready{300}; std::atomic<bool> hold{true}; std::atomic<uint32_t> events{0};
  const TrackTags* tags = nullptr;
  TagReaderPool pool({&ready, [](int32_t) { return ""; }, [](const char*, TrackTags*, int, const char*) { return ++reads, 0; }, 0, "", &hold, &events}, 4, 0);
  for (int32_t i = 0; i < 300; pool.Done(i++), events++, events.notify_all()) {
    const int status = pool.TakeWhenRead(i, &tags);  // before the count is read
    ASSERT_EQ(std::tuple(status, reads.load()), std::tuple(0, i + 1));
  }
}

}  // namespace
}  // namespace qv
