// Real audio files made at test time by the tools a user's files come from:
// ffmpeg encodes and muxes, mutagen (run by /usr/bin/python3) tags. A tool
// that is missing or fails records a test failure: these tests must never
// pass by skipping, because CI installs the tools (scripts/install-deps).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {

struct ProgramResult {
  int status = -1;     // exit status; 127 when the program could not be run
  std::string output;  // standard output
  std::string errors;  // standard error
};

// Runs a program (looked up on PATH) with arguments, without a shell.
ProgramResult RunProgram(const std::vector<std::string>& argv);

// Encodes a short sine tone with ffmpeg into path; the codec follows the
// extension (.mp3 MPEG layer 3 with no tag, .m4a/.mp4 AAC, .wav 8-bit PCM,
// .aif/.aiff 16-bit PCM). `options` are extra ffmpeg output options, such
// as {"-metadata", "title=X"} or {"-movflags", "+faststart"}. Returns false
// (and records a failure) when ffmpeg is missing or fails.
bool MakeAudio(const std::string& path, const std::vector<std::string>& options = {});

// As MakeAudio, with a PNG picture muxed in as the cover (attached picture).
bool MakeAudioWithCover(const std::string& path, const std::vector<std::string>& options = {});

// Runs a Python snippet under /usr/bin/python3, where mutagen is installed;
// the snippet sees its arguments as sys.argv[1:]. False (and a failure) when
// the interpreter or mutagen is missing or the snippet fails.
bool RunPython(const std::string& snippet, const std::vector<std::string>& args);

// One ID3v2 frame for WriteId3v2: a text frame ("TIT2", "TPE1", ...) with its
// text, or "APIC" for a PNG cover picture of a few kilobytes (text unused).
using Id3Frame = std::pair<std::string, std::string>;

// Writes an ID3v2 tag with mutagen at the start of an existing file, frames
// in the given order (mutagen alone would put the title first). version is 3
// or 4; encoding is the ID3 text encoding byte (0 Latin-1, 1 UTF-16 with byte
// order mark, 2 UTF-16BE, 3 UTF-8).
bool WriteId3v2(const std::string& path, int version, int encoding,
                const std::vector<Id3Frame>& frames);

// Tags an MP4/M4A file with mutagen. items maps an atom name ("\xa9nam",
// "\xa9ART", "\xa9alb", "\xa9gen", "\xa9day") to its text; track > 0 adds
// "trkn" (track of total); cover adds a PNG "covr" item.
bool WriteMp4Tags(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& items, int track = 0,
                  int total = 0, bool cover = false);

// Appends a 128-byte ID3v1 tag whose title, artist and album are the given
// raw bytes (any code page), cut to 30 bytes; track < 0 writes none.
bool AppendId3v1(const std::string& path, const std::string& title, const std::string& artist,
                 const std::string& album, int track, uint8_t genre);

// Puts bytes in front of a file's content (an ID3v2 tag built by hand).
bool PrependBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A zero-terminated UTF-16 text as UTF-8, so that test failures show it; an
// unpaired surrogate becomes \uXXXX.
std::string Utf8Of(const uint16_t* text);

// Runs the built qvlib with arguments; its standard output split into lines.
ProgramResult RunQvlib(const std::vector<std::string>& args);
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace qv::test
