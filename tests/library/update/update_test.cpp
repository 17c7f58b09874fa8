// Update jobs on real files: after any change the library passes the independent
// reader's checks and lists exactly the drive's audio files; no change rewrites no byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
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
  if (r == 0 && (r = FlushBuild(1)) == 0) r = FinishBuild();
  CloseBuild();
  return r;
}

// The operations in the job's order; a small record buffer makes the
// additions spill in batches; `full_merge` makes the merges read every key.
int Update(const TempDir& d, uint32_t record_bytes = 0, bool full_merge = false) {
  const std::string root = d.str();
  int r = OpenLibraryForUpdate(root.c_str(), kFileSystemFat);
  if (r == 0 && record_bytes != 0) TheBuildContext().builder->record_buffer_size = record_bytes;
  if (r == 0 && full_merge) TheBuildContext().builder->flags |= kFlagFullMerge;
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

using Paths = std::vector<std::u16string>;

// Paths with ASCII letters folded as matching folds them, sorted.
Paths Folded(Paths paths) {
  for (std::u16string& p : paths)
    for (char16_t& u : p) u = u >= 'a' && u <= 'z' ? static_cast<char16_t>(u - 32) : u;
  std::sort(paths.begin(), paths.end());
  return paths;
}

// The library's paths in page order; the library must pass the reader's checks.
Paths LibraryPaths(const TempDir& d, ReadLibrary* out = nullptr) {
  ReadLibrary own, &lib = out != nullptr ? *out : own;
  ReadFault fault;
  EXPECT_EQ(ReadLibraryFiles(d.str().c_str(), kFileSystemFat, &lib, &fault), kReadOk)
      << fault.file << " " << fault.offset << " " << fault.message;
  Paths paths;
  for (const ReadPage& p : lib.pages) paths.push_back(p.texts[4]);
  return paths;
}

Paths DrivePaths(const TempDir& d) {
  Paths paths;
  for (const std::string& f : Walk(d)) paths.push_back(U16(f));
  return Folded(paths);
}

std::string NameFor(uint32_t i) {
  static const char* const kEndings[] = {".mp3", ".MP3", ".mp3", ".aiff", ".Mp3", ".aif"};
  std::string folder =
      i % 3 == 0 ? "/Müsik/" : std::string("/Music/") + std::to_string(i % 4) + "/";
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
      // Merging by the loaded order and names gives the bytes of reading every key.
      TempDir twin;
      fs::copy(d.path(), twin.path(), fs::copy_options::recursive);
      const uint32_t record_bytes = rng() % 2 == 0 ? 0 : 1500;
      ASSERT_EQ(Update(d, record_bytes), 0) << "seed " << seed;
      ASSERT_EQ(Update(twin, record_bytes, true), 0) << "seed " << seed;
      ReadLibrary lib;
      ASSERT_EQ(Folded(LibraryPaths(d, &lib)), DrivePaths(d))
          << "seed " << seed << " round " << round;
      // Titles are counted once each, however many batches the additions took.
      EXPECT_EQ(lib.stats[3].count, lib.pages.size()) << "seed " << seed << " round " << round;
      Snapshot before = Library(d);
      ASSERT_EQ(Library(twin), before) << "seed " << seed << " round " << round;
      EXPECT_EQ(std::tuple(before.count("QVTA.LST"), before.count("QVTB.DB")), std::tuple(0, 0));
      ASSERT_EQ(Update(d), 0);
      EXPECT_EQ(Library(d), before) << "an update with nothing to do rewrote the library";
    }
  }
}

// Libraries built from paths alone, against the files put on the drive; the
// library's paths after the update.
TEST(Update, MatchesPathsWithAsciiLettersFolded) {
  struct {
    std::vector<std::string> library, drive, kept;
  } cases[] = {
      {{"/a/Song.mp3"}, {"/A/sONG.mP3"}, {"/a/Song.mp3"}},
      {{"/a/\xC3\xA9.mp3"}, {"/a/\xC3\x89.mp3"}, {"/a/\xC3\x89.mp3"}},
      {{"/a/song.aif"}, {"/a/song.aiff"}, {"/a/song.aiff"}},
      {{"/a/x.mp3", "/a/x.mp3", "/b.mp3"}, {"/a/x.mp3", "/b.mp3"}, {"/a/x.mp3", "/b.mp3"}},
      {{"/gone.mp3"}, {"/new.mp3"}, {"/new.mp3"}},
  };
  for (const auto& c : cases) {
    TempDir d;
    std::vector<TrackSpec> tracks;
    Paths want;
    for (const std::string& p : c.library) tracks.push_back({.path = U16(p)});
    for (const std::string& p : c.kept) want.push_back(U16(p));
    ASSERT_EQ(BuildLibrary(d.str(), tracks), 0);
    for (const std::string& f : c.drive) WriteMp3(d, f, {});
    ASSERT_EQ(Update(d), 0);
    EXPECT_EQ(LibraryPaths(d), want) << c.drive[0];
  }
}

TEST(Update, DamagedLibraryFailsAndLeavesTheDriveAsItWas) {
  // Track list: tag, first page inside the header, length before the pages' end, more tracks
  // than a library holds, page 0's size, its chunk's size and tag; section list: tag, first
  // section, its size, order list count, an entry past the tracks, a track twice; next track
  // id among the tracks' ids or with no room for more.
  struct {
    const char* file;
    uint32_t offset, value;
  } cases[] = {{"QVTL.DB", 0, 0x6c747670}, {"QVTL.DB", 4, 8},       {"QVTL.DB", 8, 17},
               {"QVTL.DB", 12, 150001},    {"QVTL.DB", 24, 0xFFFF}, {"QVTL.DB", 72, 4000},
               {"QVTL.DB", 64, 0},         {"QVBL.DB", 0, 0},       {"QVBL.DB", 4, 4000},
               {"QVBL.DB", 24, 0xFFFFFF},  {"QVBL.DB", 52, 2},      {"QVBL.DB", 56, 3},
               {"QVBL.DB", 60, 0},         {"QVDB.DB", 24, 2},      {"QVDB.DB", 24, 0xFFFFFFF0}};
  TempDir d;
  for (uint32_t i = 0; i < 3; ++i) WriteMp3(d, NameFor(i), GeneratedTrack(i));
  ASSERT_EQ(Create(d), 0);
  const Snapshot good = Library(d);
  for (const auto& c : cases) {
    Bytes bytes = good.at(c.file);
    StoreLe32(bytes, c.offset, c.value);
    WriteFileBytes(LibraryDirectory(d.str()) + c.file, bytes);
    const Snapshot damaged = Library(d);
    ClearFileFailure();
    EXPECT_EQ(Update(d), kEngineBuildFailed) << c.file << " " << c.offset;
    EXPECT_EQ(Library(d), damaged);
    FileFailure f{};
    ASSERT_TRUE(LastFileFailure(&f)) << c.file << " " << c.offset;
    EXPECT_EQ(std::tuple(std::string(f.path).ends_with(c.file),
                         std::string(f.reason).ends_with("; Create rebuilds the library")),
              std::tuple(true, true));
    WriteFileBytes(LibraryDirectory(d.str()) + c.file, good.at(c.file));
  }
  // A track list cut after a page loses the tracks past the cut, which come
  // back as new files; a statistics sub-record claiming too much is skipped.
  Bytes cut = good.at("QVTL.DB");
  cut.resize(16 + LoadLe32(cut, 24));
  WriteFileBytes(LibraryDirectory(d.str()) + "QVTL.DB", cut);
  Bytes index = good.at("QVDB.DB");
  StoreLe32(index, 48 + 72 * 3 + 24 + 8, 0x7FFF0000);
  WriteFileBytes(LibraryDirectory(d.str()) + "QVDB.DB", index);
  ASSERT_EQ(Update(d), 0);
  EXPECT_EQ(Folded(LibraryPaths(d)), DrivePaths(d));
}

// A FIFO put in a song's place after the scan cannot be read; it is no wait.
TEST(Update, AFifoInASongsPlaceCannotBeRead) {
  TempDir d;
  WriteMp3(d, NameFor(0), GeneratedTrack(0));
  ASSERT_EQ(Create(d), 0);
  const std::string song = d.str() + NameFor(0);
  fs::remove(song), mkfifo(song.c_str(), 0644);
  ASSERT_EQ(OpenLibraryForUpdate(d.str().c_str(), kFileSystemFat), 0);
  EXPECT_EQ(MatchFoundFile(song.c_str(), d.str().c_str()), kEngineUnreadable);
  CloseUpdate();
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
      Paths library = Folded(LibraryPaths(d)), drive = DrivePaths(d);
      EXPECT_TRUE(std::includes(drive.begin(), drive.end(), library.begin(), library.end()));
    }
  }
}

TEST(Update, PendingAdditionsComeBackInOrderAcrossManyWrites) {
  TempDir d;
  ASSERT_EQ(BuildLibrary(d.str(), {{.path = u"/x.mp3"}}), 0);
  // A leftover queue from an interrupted job is not this job's.
  d.Write("QUORVEN/LIBRARY/QVTA.LST", Bytes(600, 7));
  ASSERT_EQ(OpenLibraryForUpdate(d.str().c_str(), kFileSystemFat), 0);
  LibraryBuilder* b = TheBuildContext().builder;
  auto path = [](uint32_t i) {
    return std::u16string(u"/") + std::u16string(249 + i % 2, u'a' + i % 26);
  };
  for (uint32_t i = 0; i < 2400; ++i)
    ASSERT_EQ(QueuePendingFile(b, reinterpret_cast<const uint16_t*>(path(i).c_str()), 9, 1), 1);
  ASSERT_EQ(WritePendingEntries(b), 1);
  Bytes file = ReadFileBytes(LibraryDirectory(d.str()) + "QVTA.LST");
  ASSERT_EQ(file.size(), 1200u * (24 + 508) + 1200u * (24 + 1024));
  // Entry sizes, path record sizes and path lengths.
  for (auto [at, value] :
       {std::pair{0u, 532u}, {24u, 508u}, {28u, 500u}, {532u, 1048u}, {556u, 1024u}})
    EXPECT_EQ(LoadLe32(file, at), value) << at;
  uint16_t back[kPathKeyUnits + 1];
  for (uint32_t i = 0; i < 2400; ++i)
    ASSERT_EQ(
        (std::tuple{ReadPendingEntry(b, back), std::u16string(reinterpret_cast<char16_t*>(back))}),
        std::tuple(1, path(i)));
  // A found file is queued with the type code of its name's ending.
  d.Write("s.M4A", {1});
  ASSERT_EQ(MatchFoundFile((d.str() + "/s.M4A").c_str(), d.str().c_str()), 0);
  ASSERT_EQ(WritePendingEntries(b), 1);
  EXPECT_EQ(LoadLe32(ReadFileBytes(LibraryDirectory(d.str()) + "QVTA.LST"), file.size() + 8), 2u);
  CloseUpdate();
  EXPECT_FALSE(fs::exists(LibraryDirectory(d.str()) + "QVTA.LST"));
}

// Every size a queued entry claims is checked against the bytes read and
// the entry, each claim on its own; a claim that just fits is taken.
TEST(Update, QueuedEntryClaimsAreChecked) {
  TempDir d;
  ASSERT_EQ(BuildLibrary(d.str(), {{.path = u"/x.mp3"}}), 0);
  ASSERT_EQ(OpenLibraryForUpdate(d.str().c_str(), kFileSystemFat), 0);
  LibraryBuilder* b = TheBuildContext().builder;
  ASSERT_EQ(QueuePendingFile(b, reinterpret_cast<const uint16_t*>(u"/ab.mp3"), 9, 1), 1);
  ASSERT_EQ(WritePendingEntries(b), 1);
  const std::string queue = LibraryDirectory(d.str()) + "QVTA.LST";
  const Bytes entry = ReadFileBytes(queue);
  ASSERT_EQ(entry.size(), 48u);  // head 12, text record 12, path record 24 (14 path bytes)
  struct Case {
    const char* what;
    std::vector<std::pair<uint32_t, uint32_t>> claims;  // offset, value
    uint32_t pad;                                       // zero bytes after the entry
    int expected;
  };
  const Case cases[] = {
      {"as written", {}, 0, 1},
      {"text record below its size", {{12, 8}}, 0, 0},
      {"text record past the bytes read", {{12, 40}}, 0, 0},
      {"no room for the path head", {{12, 32}}, 0, 0},
      {"an empty path head that just fits", {{12, 28}, {44, 0}}, 0, 1},
      {"path longer than a path", {{0, 648}, {28, 514}}, 600, 0},
      {"odd path length", {{28, 15}}, 0, 0},
      {"path past the bytes read", {{0, 100}, {28, 30}}, 0, 0},
      {"path past the entry's size", {{0, 40}}, 0, 0},
  };
  for (const Case& c : cases) {
    Bytes bytes = entry;
    bytes.resize(entry.size() + c.pad, 0);
    for (auto [at, value] : c.claims) StoreLe32(bytes, at, value);
    WriteFileBytes(queue, bytes);
    ClosePendingReads(b);
    b->update.pending_read_offset = 0;
    uint16_t back[kPathKeyUnits + 1];
    EXPECT_EQ(ReadPendingEntry(b, back) == 1 ? 1 : 0, c.expected) << c.what;
  }
  CloseUpdate();
}

// Past the 1,000 genre ids, a removal keeps the ids in order and counts the
// totals over the kept tracks.
TEST(Update, GenresPastTheCapacity) {
  TempDir d;
  for (uint32_t i = 0; i < 1300; ++i) {
    char genre[16];
    std::snprintf(genre, sizeof genre, "G%u", 10000 + i);
    WriteMp3(d, "/g/" + std::to_string(i) + ".mp3", {.genre = U16(genre)});
  }
  ASSERT_EQ(Create(d), 0);
  fs::remove(d.str() + "/g/0.mp3");
  ASSERT_EQ(Update(d), 0);
  ReadLibrary lib;
  LibraryPaths(d, &lib);
  const auto& order = lib.sections[0].order.tracks;
  EXPECT_EQ(std::tuple(lib.stats[0].count, lib.stats[0].sizes[0].bytes, lib.stats[4].count),
            std::tuple(1299u, 1299u * 18, 1299u));  // as stored; a path per track
  EXPECT_EQ(std::tuple(lib.pages[order[1000]].name_ids[0], lib.pages[order[999]].name_ids[0]),
            std::tuple(kOverflowId, 999u));
  // A genre past the capacity named like the last one with an id is damage.
  const std::string tl = LibraryDirectory(d.str()) + "QVTL.DB";
  Bytes b = ReadFileBytes(tl), f = Id3Utf16(u"G11001"), to = Id3Utf16(u"G11000");  // 3-byte head
  std::copy(to.begin() + 3, to.end(), std::search(b.begin(), b.end(), f.begin() + 3, f.end()));
  ReadFault fault;
  WriteFileBytes(tl, b);
  EXPECT_EQ(ReadLibraryFiles(d.str().c_str(), kFileSystemFat, &lib, &fault), kReadDamaged);
}

}  // namespace
}  // namespace qv::test
