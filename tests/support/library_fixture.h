// Builds whole libraries from lists of tag values, straight through the
// engine's create operations, so that tests of the builder, the writers and
// the reader can make libraries of any shape without audio files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "library/builder/library_builder.h"
#include "library/files/library_files.h"
#include "tags/track_tags.h"

namespace qv::test {

// The tag values of one track, as GetTrackTags would return them. Texts
// longer than their buffers are cut the way the tag readers cut them.
struct TrackSpec {
  std::u16string genre{}, artist{}, album{}, title{};
  std::u16string path{};  // relative to the drive root, beginning with "/"
  uint16_t track_number = 0xFFFF;
  uint32_t file_size = 4096;
  uint8_t file_type = kFileTypeMp3;
};

// Fills storage's record like a reader that found these tags: the reserved
// words keep their all-ones values.
void FillTrackTags(const TrackSpec& spec, TrackTagsStorage* storage);

struct BuildOptions {
  uint32_t file_system_kind = kFileSystemFat;
  // 0 keeps the full record buffer; a smaller one spills after a few tracks.
  uint32_t record_buffer_bytes = 0;
  // Runs on the finished builder, before it is closed.
  std::function<void(LibraryBuilder&)> inspect;
};

// Opens a build on drive_root, adds every track, flushes and finishes it and
// closes it on every path: 0, or the first engine result that was not 0.
int BuildLibrary(const std::string& drive_root, const std::vector<TrackSpec>& tracks,
                 const BuildOptions& options = {});

// Opens a build with the options' record buffer size; 0 or the OpenBuild
// result. The caller closes it.
int OpenTestBuild(const std::string& drive_root, const BuildOptions& options = {});

// The library directory below drive_root ("QUORVEN/LIBRARY" or
// ".QUORVEN/LIBRARY"), with a trailing "/".
std::string LibraryDirectory(const std::string& drive_root, uint32_t kind = kFileSystemFat);

std::u16string U16(std::string_view utf8);

// A varied track for index i: a few genres, artists and albums, numbered and
// unnumbered tracks, some names outside the 8-bit range.
TrackSpec GeneratedTrack(uint32_t i);

}  // namespace qv::test
