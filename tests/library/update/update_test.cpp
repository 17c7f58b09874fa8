// Update jobs on real files: after any change the library passes the independent
// reader's checks and lists exactly the drive's audio files; no change rewrites no byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>

#include "library/files/library_reader.h"
#include "library/update/update_internal.h"
#include "library/update/update_ops.h"
#include "platform/byte_order.h"
#include "platform/file_failure.h"
#include "support/faulty_file_door.h"
#include "support/id3_writer.h"
#include "support/library_fixture.h"
#include "support/real_files.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using Snapshot = std::map<std::string, Bytes>;

void WriteMp3(const TempDir& d, const std::string& rel, const TrackSpec& t) {
  std::vector<Bytes> frames;
  for (auto [id, text] : {std::pair{"TCON", &t.genre}, {"TPE1", &t.artist}, {"TALB", &t.album}})
    if (!text->empty()) frames.push_back(Id3v2Frame(3, id, Id3Utf16(*text)));
  d.Write(rel.substr(1), Id3Join({Id3v2Tag(3, frames), AudioFiller(200)}));
}

// The audio files on the drive, relative to it, in a fixed order.
std::vector<std::string> Walk(const TempDir& d) {
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(d.path()))
    if (e.is_regular_file() && e.path().string().find("QUORVEN") == std::string::npos)
      files.push_back(e.path().string().substr(d.str().size()));
  std::sort(files.begin(), files.end());
  return files;
}

int Create(const TempDir& d) {
  int r = OpenBuild(d.str().c_str(), kFileSystemFat);
  for (const std::string& f : Walk(d))
    if (int a = r == 0 ? AddFileToBuild((d.str() + f).c_str(), 2) : r; a != 2) r = a;
  if (r == 0) r = FlushBuild(1);
  if (r == 0) r = FinishBuild();
  CloseBuild();
  return r;
}

// The operations in the job's order; a small record buffer makes the
// additions spill in batches.
int Update(const TempDir& d, uint32_t record_bytes = 0) {
  const std::string root = d.str();
  int r = OpenLibraryForUpdate(root.c_str(), kFileSystemFat);
  if (r == 0 && record_bytes != 0) TheBuildContext().builder->record_buffer_size = record_bytes;
  for (const std::string& f : Walk(d))
    if (int m = r == 0 ? MatchFoundFile((root + f).c_str(), root.c_str()) : r; m != 2) r = m;
  if (r == 0) r = ApplyRemovals();
  if (r == 0 && (UpdateChangeFlags() & kChangeFilesQueued) != 0) {
    std::vector<std::string> queued;
    char path[kPendingPathBytes];
    for (uint32_t k = 0; r == 0 && k < PendingAdditionCount(); ++k)
      if ((r = LoadPendingAddition(root.c_str(), path)) == 0) queued.push_back(path);
    bool added = false;
    for (const std::string& q : queued)
      if (int a = r == 0 ? AddPendingFile(q.c_str(), 2) : r; a != 2) r = a, added |= a == 0;
    if (r == 0) r = FlushUpdateBuild(added ? 1 : 0, 1);
  }
  if (r == 0) r = FinishUpdate();
  CloseUpdate();
  return r;
}

Snapshot Library(const TempDir& d) {
  Snapshot s;
  for (const auto& e : fs::directory_iterator(LibraryDirectory(d.str())))
    s[e.path().filename().string()] = ReadFileBytes(e.path());
  return s;
}

std::u16string Folded(std::u16string p) {
  for (char16_t& u : p)
    if (u >= 'a' && u <= 'z') u = static_cast<char16_t>(u - 32);
  return p;
}

using Paths = std::vector<std::u16string>;

// The library's paths, in page order or folded and sorted; the library must
// pass the reader's checks.
Paths LibraryPaths(const TempDir& d, bool fold = false) {
  ReadLibrary lib;
  ReadFault fault;
  EXPECT_EQ(ReadLibraryFiles(d.str().c_str(), kFileSystemFat, &lib, &fault), kReadOk)
      << fault.file << " " << fault.offset << " " << fault.message;
  Paths paths;
  for (const ReadPage& p : lib.pages) paths.push_back(fold ? Folded(p.texts[4]) : p.texts[4]);
  if (fold) std::sort(paths.begin(), paths.end());
  return paths;
}

// The drive's audio files, with ASCII letters folded as matching folds them.
Paths DrivePaths(const TempDir& d) {
  Paths paths;
  for (const std::string& f : Walk(d)) paths.push_back(Folded(U16(f)));
  std::sort(paths.begin(), paths.end());
  return paths;
}

TrackSpec Named(std::u16string genre, std::u16string path) {
  TrackSpec t;
  t.genre = std::move(genre), t.path = std::move(path);
  return t;
}

std::string NameFor(uint32_t i) {
  static const char* const kEndings[] = {".mp3", ".MP3", ".mp3", ".aiff", ".Mp3", ".aif"};
  std::string folder = i % 3 == 0 ? "/Müsik/" : "/Music/" + std::to_string(i % 4) + "/";
  return folder + (i % 5 == 0 ? "Tráck " : "track") + std::to_string(i) + kEndings[i % 6];
}

TEST(Update, LibraryFollowsTheDriveThroughRandomChanges) {
  for (uint32_t seed = 1; seed <= 8; ++seed) {
    std::mt19937 rng(seed);
    TempDir d;
    uint32_t next = 0;
    auto add = [&](uint32_t n) {
      for (; n > 0; --n, ++next) WriteMp3(d, NameFor(next), GeneratedTrack(next));
    };
    add(1 + rng() % 40);
    ASSERT_EQ(Create(d), 0);
    for (int round = 0; round < 4; ++round) {
      uint32_t drop = std::vector<uint32_t>{0, 0, 10, 50, 100}[rng() % 5];
      std::vector<std::string> files = Walk(d);
      for (size_t i = 0; i < files.size(); ++i)
        if (rng() % 100 < drop || (drop > 0 && i == 0)) fs::remove(d.str() + files[i]);
      add(rng() % 3 == 0 ? 0 : rng() % 30);
      // A second file whose name differs only in ASCII case is a file of its own.
      if (!files.empty() && rng() % 4 == 0 && fs::exists(d.str() + files.back())) {
        std::string twin = files.back();
        std::transform(twin.begin(), twin.end(), twin.begin(), ::toupper);
        fs::create_directories(fs::path(d.str() + twin).parent_path());
        fs::copy_file(d.str() + files.back(), d.str() + twin, fs::copy_options::skip_existing);
      }
      ASSERT_EQ(Update(d, rng() % 2 == 0 ? 0 : 12000), 0) << "seed " << seed;
      ASSERT_EQ(LibraryPaths(d, true), DrivePaths(d)) << "seed " << seed << " round " << round;
      Snapshot before = Library(d);
      EXPECT_EQ(before.count("QVTA.LST") + before.count("QVTB.DB"), 0u);
      ASSERT_EQ(Update(d), 0);
      EXPECT_EQ(Library(d), before) << "an update with nothing to do rewrote the library";
    }
  }
}

// Libraries built from paths alone, against the files put on the drive; the
// library's paths after the update.
TEST(Update, MatchesPathsWithAsciiLettersFolded) {
  struct Case {
    std::vector<std::string> library, drive, kept;
  } cases[] = {
      {{"/a/Song.mp3"}, {"/A/sONG.mP3"}, {"/a/Song.mp3"}},
      {{"/a/\xC3\xA9.mp3"}, {"/a/\xC3\x89.mp3"}, {"/a/\xC3\x89.mp3"}},
      {{"/a/song.aif"}, {"/a/song.aiff"}, {"/a/song.aiff"}},
      {{"/a/x.mp3", "/a/x.mp3", "/b.mp3"}, {"/a/x.mp3", "/b.mp3"}, {"/a/x.mp3", "/b.mp3"}},
      {{"/gone.mp3"}, {"/new.mp3"}, {"/new.mp3"}},
  };
  for (const Case& c : cases) {
    TempDir d;
    std::vector<TrackSpec> tracks;
    for (const std::string& p : c.library) tracks.push_back(Named(u"", U16(p)));
    ASSERT_EQ(BuildLibrary(d.str(), tracks), 0);
    for (const std::string& f : c.drive) WriteMp3(d, f, {});
    ASSERT_EQ(Update(d), 0);
    std::vector<std::u16string> want;
    for (const std::string& p : c.kept) want.push_back(U16(p));
    EXPECT_EQ(LibraryPaths(d), want) << c.drive[0];
  }
}

TEST(Update, DamagedLibraryFailsAndLeavesTheDriveAsItWas) {
  struct Case {
    const char* file;
    uint32_t offset, value;
  } cases[] = {
      {"QVTL.DB", 0, 0x6c747670},      // tag
      {"QVTL.DB", 4, 8},               // first page inside the header
      {"QVTL.DB", 8, 17},              // file length before the end of the pages
      {"QVTL.DB", 12, 150001},         // more tracks than a library holds
      {"QVTL.DB", 24, 0xFFFF},         // page 0 size
      {"QVTL.DB", 16 + 48 + 8, 4000},  // page 0 chunk size
      {"QVTL.DB", 16 + 48, 0},         // page 0 chunk tag
      {"QVBL.DB", 0, 0},               // tag
      {"QVBL.DB", 4, 4000},            // first section
      {"QVBL.DB", 16 + 8, 0xFFFFFF},   // section size
      {"QVBL.DB", 16 + 20 + 16, 2},    // order list count
      {"QVBL.DB", 16 + 20 + 20, 3},    // order list entry past the tracks
      {"QVBL.DB", 16 + 20 + 24, 0},    // a track twice in the order list
      {"QVDB.DB", 24, 2},              // next track id among the tracks' ids
      {"QVDB.DB", 24, 0xFFFFFFF0},     // no room for added track ids
  };
  TempDir d;
  for (uint32_t i = 0; i < 3; ++i) WriteMp3(d, NameFor(i), GeneratedTrack(i));
  ASSERT_EQ(Create(d), 0);
  const Snapshot good = Library(d);
  for (const Case& c : cases) {
    Bytes bytes = good.at(c.file);
    StoreLe32(bytes, c.offset, c.value);
    WriteFileBytes(LibraryDirectory(d.str()) + c.file, bytes);
    Snapshot damaged = Library(d);
    ClearFileFailure();
    EXPECT_EQ(Update(d), kEngineBuildFailed) << c.file << " " << c.offset;
    EXPECT_EQ(Library(d), damaged);
    FileFailure f{};
    ASSERT_TRUE(LastFileFailure(&f)) << c.file << " " << c.offset;
    EXPECT_TRUE(std::string(f.path).ends_with(c.file) &&
                std::string(f.reason).ends_with("; Create rebuilds the library"));
    WriteFileBytes(LibraryDirectory(d.str()) + c.file, good.at(c.file));
  }
  // The job puts its backup back.
  WriteFileBytes(LibraryDirectory(d.str()) + "QVBL.DB", Bytes(20, 0));
  Snapshot damaged = Library(d);
  EXPECT_EQ(RunQvlib({"update", d.str(), "--fs", "fat", "--yes"}).status, 3);
  EXPECT_EQ(Library(d), damaged);
  WriteFileBytes(LibraryDirectory(d.str()) + "QVBL.DB", good.at("QVBL.DB"));
  // A track list cut after a page loses the tracks past the cut, which come
  // back as new files.
  Bytes cut = good.at("QVTL.DB");
  cut.resize(16 + LoadLe32(cut, 24));
  WriteFileBytes(LibraryDirectory(d.str()) + "QVTL.DB", cut);
  ASSERT_EQ(Update(d), 0);
  EXPECT_EQ(LibraryPaths(d, true), DrivePaths(d));
}

// Whichever call fails, the update fails with a data or write error, or
// leaves a library that passes the checks and lists only files on the drive.
TEST(Update, AFailedCallFailsTheUpdateOrLeavesASoundLibrary) {
  TempDir d;
  for (uint32_t i = 0; i < 3; ++i) WriteMp3(d, NameFor(i), GeneratedTrack(i));
  ASSERT_EQ(Create(d), 0);
  const Snapshot good = Library(d);
  fs::remove(d.str() + NameFor(0));
  WriteMp3(d, NameFor(9), GeneratedTrack(9));
  for (FileOp op :
       {FileOp::kOpen, FileOp::kRead, FileOp::kWrite, FileOp::kRemove, FileOp::kRename}) {
    for (int n = 1;; ++n) {
      for (const auto& [name, bytes] : good)
        WriteFileBytes(LibraryDirectory(d.str()) + name, bytes);
      FaultyFileDoor door;
      door.FailNth(op, n);
      SetFileDoor(&door);
      int r = Update(d);
      SetFileDoor(nullptr);
      if (!door.Fired()) break;
      EXPECT_TRUE(r == 0 || r == 3 || r == 4) << r;
      if (r != 0) continue;
      Paths library = LibraryPaths(d, true), drive = DrivePaths(d);
      EXPECT_TRUE(std::includes(drive.begin(), drive.end(), library.begin(), library.end()));
    }
  }
}

TEST(Update, PendingAdditionsComeBackInOrderAcrossManyWrites) {
  TempDir d;
  ASSERT_EQ(BuildLibrary(d.str(), {Named(u"", u"/x.mp3")}), 0);
  // A leftover queue from an interrupted job is not this job's.
  d.Write("QUORVEN/LIBRARY/QVTA.LST", Bytes(600, 7));
  ASSERT_EQ(OpenLibraryForUpdate(d.str().c_str(), kFileSystemFat), 0);
  LibraryBuilder* b = TheBuildContext().builder;
  std::vector<std::u16string> paths;
  for (uint32_t i = 0; i < 2400; ++i)
    paths.push_back(u"/" + std::u16string(249 + i % 2, static_cast<char16_t>('a' + i % 26)));
  for (const std::u16string& p : paths)
    ASSERT_EQ(QueuePendingFile(b, reinterpret_cast<const uint16_t*>(p.c_str()), 9, 1), 1);
  ASSERT_EQ(WritePendingEntries(b), 1);
  Bytes file = ReadFileBytes(LibraryDirectory(d.str()) + "QVTA.LST");
  ASSERT_EQ(file.size(), 1200u * (24 + 508) + 1200u * (24 + 1024));
  // Entry sizes, path record sizes and path lengths.
  for (auto [at, value] :
       {std::pair{0u, 532u}, {24u, 508u}, {28u, 500u}, {532u, 1048u}, {556u, 1024u}})
    EXPECT_EQ(LoadLe32(file, at), value) << at;
  for (const std::u16string& p : paths) {
    uint16_t back[kPathKeyUnits + 1];
    ASSERT_EQ(ReadPendingEntry(b, back), 1);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(back)), p);
  }
  CloseUpdate();
  EXPECT_FALSE(fs::exists(LibraryDirectory(d.str()) + "QVTA.LST"));
}

// Past the 1,000 genre ids, a removal keeps the ids in order and counts the
// totals over the kept tracks.
TEST(Update, GenresPastTheCapacity) {
  TempDir d;
  for (uint32_t i = 0; i < 1300; ++i)
    WriteMp3(d, "/g/" + std::to_string(i) + ".mp3",
             Named(U16("G" + std::to_string(10000 + i)), u""));
  ASSERT_EQ(Create(d), 0);
  fs::remove(d.str() + "/g/0.mp3");
  ASSERT_EQ(Update(d), 0);
  ReadLibrary lib;
  ReadFault fault;
  ASSERT_EQ(ReadLibraryFiles(d.str().c_str(), kFileSystemFat, &lib, &fault), kReadOk);
  EXPECT_EQ(lib.stats[0].count, 1299u);
  EXPECT_EQ(lib.stats[0].sizes[0].bytes, 1299u * (16 + 2));  // text areas, as stored
  EXPECT_EQ(lib.pages[lib.sections[0].order.tracks[1000]].name_ids[0], kOverflowId);
  EXPECT_EQ(lib.pages[lib.sections[0].order.tracks[999]].name_ids[0], 999u);
}

}  // namespace
}  // namespace qv::test
