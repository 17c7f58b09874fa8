// One file read as the job reads it, the texts as UTF-8 so a failure shows them.
#pragma once

#include <string>

#include "support/real_files.h"
#include "tags/track_tags.h"

namespace qv::test {

struct TagRead {
  int status = -1, track = -1, type = -1;
  uint32_t size = 0;
  std::string genre, artist, album, title, path;
  std::string Fields() const { return title + "|" + artist + "|" + album + "|" + genre + "|" + std::to_string(track); }
};

inline TagRead ReadTags(const std::string& file, const std::string& root, int language = 2) {
  TrackTagsStorage s;
  TagRead r;
  r.status = GetTrackTags(file.c_str(), &s.tags, language, root.c_str());
  r.track = s.tags.TrackNumber, r.type = s.tags.FileType(), r.size = s.tags.FileSize;
  r.genre = Utf8Of(s.genre), r.artist = Utf8Of(s.artist), r.album = Utf8Of(s.album), r.title = Utf8Of(s.title), r.path = Utf8Of(s.path);
  return r;
}

}  // namespace qv::test
