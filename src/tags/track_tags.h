// The tag fields of one audio file, as the library stores them, and the
// per-file reader that fills them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

// FileType codes stored in the library's track records.
enum : uint8_t {
  kFileTypeNone = 0,
  kFileTypeMp3 = 1,
  kFileTypeAac = 2,
  kFileTypeMp4 = 3,
  kFileTypeM4a = 4,
  kFileTypeWav = 12,
  kFileTypeAiff = 13,
};

// Buffer sizes in bytes, terminator included.
inline constexpr size_t kGenreBytes = 60;
inline constexpr size_t kArtistBytes = 96;
inline constexpr size_t kAlbumBytes = 96;
inline constexpr size_t kTitleBytes = 128;
inline constexpr size_t kPathBytes = 512;

struct TrackTags {
  uint32_t FileSize;
  uint32_t Reserved1;
  uint32_t Reserved2;
  uint16_t TrackNumber;
  uint16_t Reserved3;
  uint32_t Reserved4AndFileType;  // bits 0-23 Reserved4, bits 24-31 FileType
  // Caller-provided UTF-16LE buffers; any may be null (the field is then left
  // alone).
  uint16_t* Genre;   // kGenreBytes
  uint16_t* Artist;  // kArtistBytes
  uint16_t* Album;   // kAlbumBytes
  uint16_t* Title;   // kTitleBytes
  uint16_t* Path;    // kPathBytes

  uint8_t FileType() const { return static_cast<uint8_t>(Reserved4AndFileType >> 24); }
  void SetFileType(uint8_t type) {
    Reserved4AndFileType =
        (Reserved4AndFileType & 0x00FFFFFFu) | (static_cast<uint32_t>(type) << 24);
  }
};

// A TrackTags record together with its five buffers, all texts empty.
struct TrackTagsStorage {
  uint16_t genre[kGenreBytes / 2] = {};
  uint16_t artist[kArtistBytes / 2] = {};
  uint16_t album[kAlbumBytes / 2] = {};
  uint16_t title[kTitleBytes / 2] = {};
  uint16_t path[kPathBytes / 2] = {};
  TrackTags tags{0, 0, 0, 0, 0, 0, genre, artist, album, title, path};

  TrackTagsStorage() = default;
  TrackTagsStorage(const TrackTagsStorage&) = delete;
  TrackTagsStorage& operator=(const TrackTagsStorage&) = delete;
};

// ID3v1 genre names by number; 148..255 are empty.
extern const char* const GenreNames[256];

// Puts a decoded text of n units into a field whose buffer holds capacity
// bytes: whole when it fits with its terminator, else cut to capacity/2 - 1
// units. A null field is left alone.
void StoreTagText(uint16_t* field, size_t capacity, const uint16_t* text, size_t n);

// Reads one audio file: 0 success, 2 the file cannot be read. path is the full
// path, drive_root the mount path followed by "/"; tag_language 0..8, or 9
// for the automatic choice of a code page per file.
int GetTrackTags(const char* path, TrackTags* record, int tag_language, const char* drive_root);

// As GetTrackTags; *code_page, when given, receives the code page the file's
// 8-bit texts were read in: the language's, or with the automatic choice
// (kTagLanguageAuto) the one chosen for this file, null when they were plain
// ASCII.
int GetTrackTagsReporting(const char* path, TrackTags* record, int tag_language,
                          const char* drive_root, const char** code_page);

// 1 read (possibly without any tag), -1 failure.
int ReadTrackTags(const char* path, TrackTags* record, const char* code_page);

// As ReadTrackTags, in the code page that the file's 8-bit texts were most
// likely written in, preferring that of fallback_language (0..8) where they
// do not tell; *code_page, when given, receives it (null: plain ASCII).
int ReadTrackTagsChoosing(const char* path, TrackTags* record, int fallback_language,
                          const char** code_page);

// Trims trailing spaces and expands numeric genres.
void FinishTrackTags(TrackTags* record);

}  // namespace qv
