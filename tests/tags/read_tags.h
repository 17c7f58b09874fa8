// One file read as the job reads it, for the tag tests: the texts as UTF-8
// so that a failure shows them.
#pragma once

#include <string>

#include "support/real_files.h"
#include "tags/track_tags.h"

namespace qv::test {

struct TagRead {
  int status = -1;
  std::string genre, artist, album, title, path;
  int track = -1, type = -1;
  uint32_t size = 0;
  // "title|artist|album|genre|track", to compare in one go.
  std::string Fields() const {
    return title + "|" + artist + "|" + album + "|" + genre + "|" + std::to_string(track);
  }
};

inline TagRead ReadTags(const std::string& file, const std::string& root, int language = 2) {
  TrackTagsStorage s;
  TagRead r;
  r.status = GetTrackTags(file.c_str(), &s.tags, language, root.c_str());
  r.genre = Utf8Of(s.genre);
  r.artist = Utf8Of(s.artist);
  r.album = Utf8Of(s.album);
  r.title = Utf8Of(s.title);
  r.path = Utf8Of(s.path);
  r.track = s.tags.TrackNumber;
  r.type = s.tags.FileType();
  r.size = s.tags.FileSize;
  return r;
}

}  // namespace qv::test
