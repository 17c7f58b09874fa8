// The in-memory library under construction during one create or update job:
// batches of packed track records, the four category lists in browse order,
// the name ids and the browse trees. All memory is reserved once when the job
// opens its build; nothing is allocated while tracks are added.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "tags/track_tags.h"

namespace qv {

// Categories, numbered the same way everywhere; slot 4 is the path.
enum : uint16_t { kGenre = 0, kArtist = 1, kAlbum = 2, kTitle = 3, kPathSlot = 4 };
inline constexpr int kCategoryCount = 4;
inline constexpr int kSlotCount = 5;

// Maximum stored size of each string slot in bytes, terminator included.
inline constexpr uint32_t kSlotMaxBytes[kSlotCount] = {60, 96, 96, 128, 512};

inline constexpr uint32_t kMaxTracks = 150000;
inline constexpr uint32_t kMaxGenres = 1000;
inline constexpr uint32_t kMaxNames = 150000;  // artists, albums
inline constexpr uint32_t kRecordBufferBytes = 17825792;
inline constexpr uint32_t kMaxRecordBytes = 930;
inline constexpr uint32_t kRecordHeaderBytes = 38;
inline constexpr uint32_t kRecordStringBytes = 892;
inline constexpr uint32_t kNodeCount = 751000;
inline constexpr uint32_t kNodeRegionStart[6] = {0, 1000, 151000, 301000, 451000, 601000};
inline constexpr uint32_t kNodeRegionCapacity[6] = {1000, 150000, 150000, 150000, 150000, 150000};
inline constexpr uint32_t kSortStackBytes = 1200000;
inline constexpr uint32_t kPageBufferBytes = 2400056;
inline constexpr uint32_t kScratchPageBytes = 2048;
inline constexpr uint32_t kDrivePathBytes = 512;
inline constexpr uint32_t kErrorLogCapacity = 16;

inline constexpr uint32_t kBuilderLive = 0x48730002;
inline constexpr uint32_t kBuilderReleased = 0x48730001;
inline constexpr uint32_t kNoId = 0xFFFFFFFF;
inline constexpr uint32_t kOverflowId = 0xFFFFFFFE;

// Builder flag bits.
inline constexpr uint16_t kFlagUpdateMode = 1u << 3;
inline constexpr uint16_t kFlagStatistics = 1u << 4;
// An update's merges read every key back, as a create's do, instead of
// taking the order and names the loaded library already holds.
inline constexpr uint16_t kFlagFullMerge = 1u << 5;

// ErrorLog sites.
inline constexpr uint32_t kSiteBuildCategoryTree = 0x54290004;
inline constexpr uint32_t kSiteReadTrackKeys = 0x5429001a;
inline constexpr uint32_t kSiteWriteTrackPages = 0x5429001b;
inline constexpr uint32_t kSiteWriteBrowseBl = 0x5429001c;
inline constexpr uint32_t kSiteWriteBrowseDb = 0x5429001d;
inline constexpr uint32_t kSiteFinishTrackList = 0x5429001e;

// Engine result codes at the job boundary.
inline constexpr int kEngineOk = 0;
inline constexpr int kEngineUnreadable = 2;
inline constexpr int kEngineBuildFailed = 3;
inline constexpr int kEngineWriteFailed = 4;

struct ErrorLogEntry {
  uint32_t module;
  uint32_t site;
  uint32_t detail;
};
struct ErrorLog {
  ErrorLogEntry entries[kErrorLogCapacity];
  uint32_t count;
};

// Six 512-byte slots (genre, artist, album, title, path sort keys, and the
// display name of the current category) and a track number.
struct SortKeySet {
  uint16_t slot[6][256];
  uint16_t track_number;
};

// Three words; all bits 1 in an empty node. Its file form is a browse entry.
struct CategoryNode {
  uint32_t first_track;
  uint32_t counts;  // bits 0-20 count, 21-31 low bits of the child position
  uint32_t links;   // bits 0-7 high bits of the child position, 10-31 first child or first position
};

struct DriveRecord {
  char drive_path[kDrivePathBytes];  // mount path followed by "/"
  uint8_t* page_buffer;
  uint32_t page_buffer_size;
};

// The state an update job keeps between its operations; all zero in a create
// job and after the update variant of the initialisation.
struct UpdateFields {
  uint32_t change_flags;         // kChangeTracksGone | kChangeFilesQueued
  uint32_t pending_read_offset;  // where the next QVTA.LST entry is read
  uint32_t pending_bytes;        // entries staged in the page buffer, not yet written
  uint32_t loaded_track_count;   // the QVTL.DB header's count when the library was loaded
  uint32_t pending_entry_count;  // entries queued in QVTA.LST
  uint32_t removed_count;        // gone tracks met by the removal pass
  uint8_t* presence;             // one byte per loaded track: 1 once a found file matched it
  uint32_t max_track_id;         // the highest track id of the loaded pages
  uint32_t has_tracks;           // 1 when a loaded page carried a track id
  uint32_t names_stale;          // 1 when removals left the name ids to number again
  uint32_t names_loaded;         // bit c: name_ids[c] hold LoadedName words for the kept tracks
  uint32_t kept_tracks;          // the tracks on disk once the gone ones were dropped
  uint64_t match_window_start;   // the QVTL.DB bytes that matching holds in memory
  uint32_t match_window_length;
  int32_t pending_file;  // QVTA.LST, open while queued entries are read back; -1 once closed
};

// From loading to the final merge of an update, name_ids[c][t] describes the
// name of category c that loaded track t carries: its id in the loaded
// library (bits 0-17), the units of its display name (bits 18-23) and 1 in
// bit 24 when that name is stored one byte per character. Ids of a library
// written by this engine change exactly where the name does along its order
// list, so the final merge numbers the loaded tracks without reading them.
inline constexpr uint32_t LoadedName(uint32_t id, uint32_t units, bool narrow) {
  return id | units << 18 | (narrow ? 1u : 0u) << 24;
}
inline constexpr uint32_t LoadedNameId(uint32_t word) {
  return word & 0x3FFFF;
}
inline constexpr uint32_t LoadedNameUnits(uint32_t word) {
  return (word >> 18) & 0x3F;
}
inline constexpr bool LoadedNameIsNarrow(uint32_t word) {
  return (word >> 24) != 0;
}

// UpdateChangeFlags bits.
inline constexpr uint32_t kChangeTracksGone = 1;
inline constexpr uint32_t kChangeFilesQueued = 2;

// What the batch sort compares in place of names: per batch track, the rank
// of each of its four sort keys among the batch's keys of that slot (equal
// keys share a rank, empty ones rank last), and its track number.
struct BatchRanks {
  uint32_t name[kCategoryCount];
  uint32_t track_number;
};
// A batch track's ranks for one category's comparison, packed (collation).
struct SortKey {
  uint64_t high;
  uint64_t low;
};
// Eight folded units of a batch track's key, packed so that comparing the
// integers compares the units; `empty` sorts empty keys after all others.
struct KeyPrefix {
  uint64_t high;
  uint64_t low;
  uint32_t track;
  uint32_t empty;
};

// Fields in the order of the data model; see the comments for their use.
struct LibraryBuilder {
  uint32_t initialised;
  uint32_t file_system_kind;
  uint16_t flags;
  uint16_t current_category;
  uint32_t total_tracks;
  uint32_t batch_tracks;
  uint32_t tracks_on_disk;
  uint32_t next_track_id;
  uint8_t* record_cursor;  // always 4-byte aligned
  uint32_t batches_written;
  uint32_t record_buffer_size;
  uint8_t* record_buffer_base;
  uint8_t* batch_records[kMaxTracks];
  uint32_t* category_lists[kCategoryCount];
  uint32_t* merge_list;
  CategoryNode* node_regions[6];
  uint32_t name_ids[3][kMaxTracks];
  uint32_t list_storage[5][kMaxTracks];
  CategoryNode nodes[kNodeCount];
  uint32_t name_bytes[3];
  uint32_t title_bytes;
  uint32_t path_bytes;
  uint32_t stored_name_bytes[3];
  uint32_t stored_title_bytes;
  uint32_t packed_path_bytes;
  uint32_t distinct_names[3];
  uint32_t title_counts[2];
  uint32_t batch_order[kMaxTracks];
  uint32_t track_positions[kMaxTracks];
  uint8_t scratch_page[kScratchPageBytes];
  uint16_t previous_path[kDrivePathBytes / 2];
  SortKeySet key_sets[3];
  uint8_t* page_buffer;
  uint32_t page_buffer_size;
  char drive_path[kDrivePathBytes];
  int32_t track_file;  // QVTL.DB descriptor while a merge reads keys back
  uint32_t* sort_low;
  uint32_t* sort_high;
  UpdateFields update;
  // Derived by the batch sort from the records and rebuilt for every batch:
  // the ranks, eight units of one slot's keys at a time while ranking it, the
  // packed keys of the sort under way, and which batch the ranks belong to
  // (batch tracks, batches written + 1).
  BatchRanks batch_ranks[kMaxTracks];
  KeyPrefix key_prefixes[2][kMaxTracks];  // one per ranking thread
  SortKey sort_keys[kMaxTracks];
  uint32_t ranked_batch[2];
  uint32_t magic;
};

// The process's build, from OpenBuild to CloseBuild. One build runs at a time.
struct BuildContext {
  LibraryBuilder* builder;
  uint8_t* record_buffer;
  DriveRecord* drive_record;
  uint8_t* sort_stack;
  uint32_t spilled;
};

BuildContext& TheBuildContext();
ErrorLog& TheErrorLog();

// 1 while the engine writes out a full batch; the progress display reads it
// to leave spills out of its time estimate.
void SetFlushInProgress(int32_t value);
int32_t IsFlushInProgress();

void ResetErrorLog(ErrorLog* log);
void AppendErrorLog(ErrorLog* log, uint32_t module, uint32_t site, uint32_t detail);

// Lifecycle.
int InitLibraryBuilder(LibraryBuilder* b, uint8_t* record_buffer, uint32_t record_buffer_size,
                       DriveRecord* drive, uint8_t* sort_stack, uint32_t sort_stack_size,
                       uint32_t file_system_kind);
int ReleaseLibraryBuilder(LibraryBuilder* b);
// Gives a track added at global index `track` its unset name ids and its
// own index in every list slot, before anything reads them.
void PrepareTrackEntries(LibraryBuilder* b, uint32_t track);
// The update variant: the first kMaxTracks bytes of the record buffer, which
// must come zeroed (as ReserveBuild gives it), become the presence bytes and the records follow
// them; the builder starts in update mode with one batch counted as written, so that the first
// merge reads the loaded library's keys back from QVTL.DB.
int InitLibraryBuilderForUpdate(LibraryBuilder* b, uint8_t* record_buffer,
                                uint32_t record_buffer_size, DriveRecord* drive,
                                uint8_t* sort_stack, uint32_t sort_stack_size,
                                uint32_t file_system_kind);

// Gives back whatever an earlier build reserved and reserves the build's
// memory, the builder not yet initialised: 0 or 3.
int ReserveBuild(const char* drive_path);

// Create-mode operations called by the job: 0, 2 (AddFileToBuild only), 3, 4.
int OpenBuild(const char* drive_path, uint32_t file_system_kind);
int AddFileToBuild(const char* file_path, int tag_language);
// The insertion steps of AddFileToBuild after the tags were read (spilling a
// full batch): 0, 3 or 4. Benchmarks and tests feed generated tags here.
int AddTagsToBuild(const TrackTags* tags);
int FlushBuild(int final_flag);
int FinishBuild();
void CloseBuild();

// Insertion, sorting and merging.
int AddTrackRecord(LibraryBuilder* b, const TrackTags* tags);
int SortBatch(LibraryBuilder* b, uint16_t category);
int MergeBatch(LibraryBuilder* b, uint32_t batch_count, int final_flag);
void ResetBatch(LibraryBuilder* b);
int ReadTrackKeys(LibraryBuilder* b, SortKeySet* keys, uint32_t global_index);
// The byte length, terminator included, of the slot's string copied out as
// UTF-16LE into dst (an 8-bit string is widened).
uint32_t CopyRecordString(const uint8_t* record, int slot, uint16_t* dst);

// Collation.
uint16_t FoldSortChar(uint16_t unit);
void MakeSortKey(uint16_t* key, const uint16_t* text, uint32_t max_bytes, bool drop_article);
void BuildRecordKeys(LibraryBuilder* b, const uint8_t* record, uint16_t category, SortKeySet* keys);
// Only what numbering a name needs: the category's own key and display name.
void BuildRecordNameKey(const uint8_t* record, uint16_t category, SortKeySet* keys);
int CompareSortKeys(const LibraryBuilder* b, const SortKeySet* a, const SortKeySet* c);
int CompareCategoryNames(const LibraryBuilder* b, const SortKeySet* a, const SortKeySet* c);

// Finalisation.
int BuildCategoryTree(LibraryBuilder* b, uint16_t category);

// Builder checks: a missing or released builder is a programming error.
void RequireLiveBuilder(const LibraryBuilder* b);

}  // namespace qv
