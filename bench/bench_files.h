// The files the tag benchmark reads: MP3 files shaped like a tagger's output
// (ID3v2.3 with the usual frames and padding, MPEG-like audio, ID3v1 at the
// end) and M4A files with their items after the media data.
#pragma once

#include <string>
#include <vector>

namespace qv::bench {

// Writes mp3_count MP3 and m4a_count M4A files into folder (which must
// exist), spread over artist/album subfolders; returns their paths, MP3
// first.
std::vector<std::string> WriteBenchFiles(const std::string& folder, int mp3_count, int m4a_count);

// Writes count MP3 files whose title, artist, album and genre are 200 bytes
// long, about 250-byte paths deep in folders: the most a library holds per track.
std::vector<std::string> WriteLongNameFiles(const std::string& folder, int count);

}  // namespace qv::bench
