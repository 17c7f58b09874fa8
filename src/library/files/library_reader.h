// An independent reader of the three library files, for diagnosis: it loads
// QVTL.DB, QVBL.DB and QVDB.DB into plain records and checks every structural
// rule that ties them together. It shares no code with the writers on purpose,
// so that a fault in one is caught by the other. Every size and count in a file
// is a claim checked against the bytes actually read; the first broken rule is
// reported with its file and byte offset.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv {

// Results of the reader's operations.
inline constexpr int kReadOk = 0;
inline constexpr int kReadUnavailable = 1;  // a file cannot be opened or read
inline constexpr int kReadDamaged = 2;      // a rule of the files is broken

// The first broken rule: which file, where, and what.
struct ReadFault {
  const char* file = "";
  uint32_t offset = 0;
  std::string message;
};

// One TrackPage of QVTL.DB.
struct ReadPage {
  uint32_t offset = 0;  // of the page in QVTL.DB
  uint8_t file_type = 0;
  uint8_t flag = 0;
  uint32_t track_index = 0;
  uint32_t track_id = 0;
  uint32_t file_size = 0;
  uint32_t reserved1 = 0;
  uint16_t track_number = 0;
  uint16_t reserved3 = 0;
  uint32_t reserved2 = 0;
  uint32_t reserved4 = 0;  // the word at page byte 44
  uint32_t name_ids[3] = {};
  uint32_t chunk_offsets[5] = {};
  std::u16string texts[5];  // genre, artist, album, title, path
};

// One BrowseEntry of QVBL.DB.
struct ReadEntry {
  uint32_t first_track = 0;
  uint32_t first_child = 0;
  uint32_t count = 0;
  uint32_t index_in_parent = 0;
};

// One list chunk: an order list (type 1, tracks) or a browse list (type 2,
// entries).
struct ReadList {
  uint32_t offset = 0;
  uint8_t list_type = 0;
  uint8_t level = 0;
  uint8_t depth = 0;
  std::vector<uint32_t> tracks;
  std::vector<ReadEntry> entries;
};

struct ReadSection {
  uint32_t offset = 0;
  uint32_t size = 0;
  uint32_t category = 0;
  ReadList order;
  std::vector<ReadList> browse;  // j = 0 .. 2 - category
};

struct ReadSizeRecord {
  uint32_t method = 0;
  uint32_t parameter = 0;
  uint32_t bytes = 0;
};

struct ReadStringStats {
  uint32_t kind = 0;
  uint32_t count = 0;
  ReadSizeRecord sizes[2];
};

struct ReadSummary {
  uint32_t section = 0;
  uint8_t list_type = 0;
  uint8_t level = 0;
  uint8_t step = 0;
  uint32_t entries = 0;
};

struct ReadLibrary {
  // QVTL.DB
  uint32_t track_file_size = 0;  // bytes read from disk
  uint32_t track_file_length = 0;
  uint32_t track_count = 0;
  std::vector<ReadPage> pages;
  // QVBL.DB
  uint32_t browse_file_size = 0;
  uint32_t browse_file_length = 0;
  ReadSection sections[4];
  // QVDB.DB
  uint32_t index_file_size = 0;
  uint32_t next_track_id = 0;
  uint16_t chunk_count = 0;
  ReadStringStats stats[5];
  ReadSummary summary[10];
};

// What the rules across the files need of one track: its fixed fields, where
// its name chunks are, and where its collation keys are kept.
struct TrackFacts {
  uint32_t offset = 0;  // of the page in QVTL.DB
  uint32_t track_id = 0;
  uint32_t name_ids[3] = {};
  uint32_t keys[4] = {};         // genre, artist, album, title: places in ReadTracks::keys
  uint16_t name_chunks[3] = {};  // genre, artist, album chunk, from the page's start
  uint16_t track_number = 0;
  uint8_t name_units[3] = {};  // code units of genre, artist, album
  uint8_t narrow = 0;          // bit k: name k holds only units below 256
};

// The tracks of a library without their texts, as the rules across the files
// see them. A collation key is kept once per name id: a track whose key
// differs from the first of its id (a damaged library), or that carries the
// overflow id, keeps its own. Titles and paths are counted for the statistics
// as the pages come, in page order.
struct ReadTracks {
  std::vector<TrackFacts> tracks;
  // Keys in blocks of 64 Ki units, each its length and then its units; a
  // place is block * 65536 + index. Blocks never move, so growth copies nothing.
  std::vector<std::vector<char16_t>> keys;
  std::vector<uint32_t> first_key[3];  // by name id
  uint32_t text_bytes[2][2] = {};      // title, path: UTF-16 bytes, stored bytes
  std::u16string previous_path;
};

// The statistics a create job derives from its tracks, recomputed from the
// pages and lists; they should equal ReadLibrary::stats of such a library.
struct DerivedStats {
  uint32_t counts[5] = {};
  uint32_t utf16_bytes[5] = {};
  uint32_t stored_bytes[5] = {};
};

// Loads and checks the library in the drive's library directory (drive_path
// with or without a trailing "/"; kind picks the directory name). Runs the
// three parsers and CheckLibraryConsistency.
int ReadLibraryFiles(const char* drive_path, uint32_t kind, ReadLibrary* out, ReadFault* fault);

// Each parser checks the rules that its file holds by itself.
int ParseTrackList(std::span<const uint8_t> bytes, ReadLibrary* out, ReadFault* fault);
int ParseBrowseLists(std::span<const uint8_t> bytes, ReadLibrary* out, ReadFault* fault);
int ParseLibraryIndex(std::span<const uint8_t> bytes, ReadLibrary* out, ReadFault* fault);

// The rules across the files: order lists are permutations of the tracks in
// name-id order, browse lists partition them consistently with the pages'
// name ids, the summary counts match the lists, track ids are unique and below
// the next track id, every order list follows its category's collation of the
// pages' texts, and a name id changes exactly where the name does.
int CheckLibraryConsistency(const ReadLibrary& lib, ReadFault* fault);

// The statistics as a create job counts them, on a library that passed
// CheckLibraryConsistency.
DerivedStats DeriveCreateStats(const ReadLibrary& lib);

// On a library that passed CheckLibraryConsistency, the stricter rules of a
// library written by one create job: track ids equal the page ranks and the
// statistics equal DeriveCreateStats. An update counts some statistics
// differently, so this is not part of the structural check.
int CheckCreateStatistics(const ReadLibrary& lib, ReadFault* fault);

// The check of ReadLibraryFiles with the same verdict and the same first
// fault, in memory bounded by the tracks rather than the files: QVTL.DB is
// read through a window, and of its pages only the ReadTracks are kept. out
// gets everything of ReadLibrary but the pages.
int CheckLibraryFiles(const char* drive_path, uint32_t kind, ReadLibrary* out, ReadTracks* tracks,
                      ReadFault* fault);

// Adds the page of the next rank to tracks; with share_keys, a key of a name
// already kept is not kept again.
void AddReadTrack(ReadTracks* tracks, const ReadPage& page, bool share_keys);

// The rules of CheckLibraryConsistency over tracks instead of lib's pages.
int CheckLibraryRules(const ReadLibrary& lib, const ReadTracks& tracks, ReadFault* fault);

// DeriveCreateStats and CheckCreateStatistics over tracks instead of lib's pages.
DerivedStats DeriveCreateStats(const ReadLibrary& lib, const ReadTracks& tracks);
int CheckCreateStatistics(const ReadLibrary& lib, const ReadTracks& tracks, ReadFault* fault);

// Library text as UTF-8 (unpaired surrogates become U+FFFD).
std::string LibraryTextToUtf8(const std::u16string& text);

}  // namespace qv
