#include "support/library_fixture.h"

#include <algorithm>

namespace qv::test {
namespace {

void Put(uint16_t* field, size_t capacity, const std::u16string& text) {
  size_t units = std::min(text.size(), capacity / 2 - 1);
  std::copy_n(text.data(), units, field);
  field[units] = 0;
}

}  // namespace

void FillTrackTags(const TrackSpec& spec, TrackTagsStorage* storage) {
  TrackTags& tags = storage->tags;
  tags.FileSize = spec.file_size;
  tags.Reserved1 = tags.Reserved2 = 0xFFFFFFFF;
  tags.TrackNumber = spec.track_number;
  tags.Reserved3 = 0xFFFF;
  tags.Reserved4AndFileType = 0x00FFFFFF;
  tags.SetFileType(spec.file_type);
  Put(storage->genre, kGenreBytes, spec.genre);
  Put(storage->artist, kArtistBytes, spec.artist);
  Put(storage->album, kAlbumBytes, spec.album);
  Put(storage->title, kTitleBytes, spec.title);
  Put(storage->path, kPathBytes, spec.path);
}

int OpenTestBuild(const std::string& drive_root, const BuildOptions& options) {
  int opened = OpenBuild(drive_root.c_str(), options.file_system_kind);
  if (opened != kEngineOk || options.record_buffer_bytes == 0) return opened;
  BuildContext& ctx = TheBuildContext();
  return InitLibraryBuilder(ctx.builder, ctx.record_buffer, options.record_buffer_bytes, ctx.drive_record,
                            ctx.sort_stack, kSortStackBytes, options.file_system_kind) == 1
             ? kEngineOk : kEngineBuildFailed;
}

int BuildLibrary(const std::string& drive_root, const std::vector<TrackSpec>& tracks,
                 const BuildOptions& options) {
  int result = OpenTestBuild(drive_root, options);
  TrackTagsStorage storage;
  for (size_t i = 0; result == kEngineOk && i < tracks.size(); ++i) {
    FillTrackTags(tracks[i], &storage);
    result = AddTagsToBuild(&storage.tags);
  }
  if (result == kEngineOk && !tracks.empty()) result = FlushBuild(1);
  if (result == kEngineOk && !tracks.empty()) result = FinishBuild();
  if (result == kEngineOk && options.inspect) options.inspect(*TheBuildContext().builder);
  CloseBuild();
  return result;
}

std::string LibraryDirectory(const std::string& drive_root, uint32_t kind) {
  return drive_root + (drive_root.ends_with('/') ? "" : "/") +
         (kind == kFileSystemHfs ? ".QUORVEN/LIBRARY/" : "QUORVEN/LIBRARY/");
}

std::u16string U16(std::string_view utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    auto byte = static_cast<uint8_t>(utf8[i]);
    size_t extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
    uint32_t code = extra ? byte & (0x3Fu >> extra) : byte;
    for (size_t k = 1; k <= extra && i + k < utf8.size(); ++k)
      code = (code << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3F);
    i += extra + 1;
    if (code < 0x10000) {
      out.push_back(static_cast<char16_t>(code));
    } else {
      out.push_back(static_cast<char16_t>(0xD7C0 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 | (code & 0x3FF)));
    }
  }
  return out;
}

TrackSpec GeneratedTrack(uint32_t i) {
  static const char* const kGenres[] = {"Rock", "Jazz", "rock", "Ｐｏｐ", "", "Ambient"};
  static const char* const kArtists[] = {"The Band", "band", "Zoë", "山田", "", "Ünal", "the band"};
  TrackSpec t;
  t.genre = U16(kGenres[i % 6]);
  t.artist = U16(kArtists[(i / 3) % 7]);
  t.album = i % 11 == 0 ? u"" : U16("Album " + std::to_string((i / 5) % 13));
  t.title = U16("Song " + std::to_string(i % 97));
  if (i % 4 == 1) t.title += u"\u266A";
  t.path = U16("/Music/" + std::to_string(i / 50) + "/track" + std::to_string(i) + ".mp3");
  t.track_number = i % 9 == 0 ? 0xFFFF : static_cast<uint16_t>(i % 17 + 1);
  t.file_size = 1000 + i;
  t.file_type = i % 5 == 0 ? kFileTypeM4a : kFileTypeMp3;
  return t;
}

}  // namespace qv::test
