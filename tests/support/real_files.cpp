#include "support/real_files.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "support/temp_dir.h"
#include "tags/text/text_encoding.h"

namespace qv::test {
namespace {

// Debian's interpreter, where python3-mutagen lives; a python3 earlier on
// PATH (pyenv and the like) usually lacks it.
constexpr const char* kPython = "/usr/bin/python3";

// A cover picture of a few kilobytes, so that its frame or item is larger
// than any length a reader could get right by accident with 7-bit bytes.
constexpr const char* kPythonCover = R"PY(
import struct, zlib
def cover_png(size=40):
    rows = bytearray()
    for y in range(size):
        rows.append(0)
        for x in range(size):
            rows += bytes(((x * 7 + y * 3) & 0xFF, (x * y) & 0xFF, ((x ^ y) * 4) & 0xFF))
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 1)) + chunk(b"IEND", b""))
)PY";

constexpr const char* kPythonId3 = R"PY(
import json, sys
from mutagen.id3 import ID3, APIC, Frames
from mutagen.id3._tags import save_frame

class InOrder(ID3):
    def _write(self, config):
        return bytearray().join(save_frame(f, config=config) for f in self.values())

path, version, encoding = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
tags = InOrder()
for frame_id, text in json.loads(sys.argv[4]):
    if frame_id == "APIC":
        tags.add(APIC(encoding=encoding, mime="image/png", type=3, desc="Cover", data=cover_png()))
    else:
        tags.add(Frames[frame_id](encoding=encoding, text=[text]))
tags.save(path, v2_version=version, v1=0, padding=lambda info: 32)
)PY";

constexpr const char* kPythonMp4 = R"PY(
import json, sys
from mutagen.mp4 import MP4, MP4Cover
path, track, total, cover = sys.argv[1], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5] == "1"
tags = MP4(path)
for atom, text in json.loads(sys.argv[2]):
    tags[atom] = [text]
if track > 0:
    tags["trkn"] = [(track, total)]
if cover:
    tags["covr"] = [MP4Cover(cover_png(), imageformat=MP4Cover.FORMAT_PNG)]
tags.save()
)PY";

void Drain(int fd, std::string* into, bool* open) {
  char buffer[4096];
  ssize_t got = read(fd, buffer, sizeof buffer);
  if (got > 0) {
    into->append(buffer, static_cast<size_t>(got));
  } else if (got == 0 || errno != EINTR) {
    *open = false;
  }
}

std::string Describe(const std::vector<std::string>& argv, const ProgramResult& result) {
  std::string line;
  for (const auto& arg : argv) line += (line.empty() ? "" : " ") + arg.substr(0, 60);
  return line + "\nexit status " + std::to_string(result.status) + "\n" + result.errors;
}

bool Succeeded(const std::vector<std::string>& argv, const ProgramResult& result,
               const char* tool) {
  if (result.status == 127) {
    ADD_FAILURE() << tool << " is missing; scripts/install-deps installs it.\n"
                  << Describe(argv, result);
    return false;
  }
  if (result.status != 0) {
    ADD_FAILURE() << tool << " failed: " << Describe(argv, result);
    return false;
  }
  return true;
}

std::vector<std::string> CodecOptions(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".mp3")
    return {"-ar", "22050",          "-c:a", "libmp3lame",  "-b:a",
            "32k", "-id3v2_version", "0",    "-write_xing", "0"};
  if (ext == ".m4a" || ext == ".mp4") return {"-ar", "22050", "-c:a", "aac", "-b:a", "24k"};
  if (ext == ".wav") return {"-ar", "8000", "-c:a", "pcm_u8"};
  if (ext == ".aif" || ext == ".aiff") return {"-ar", "8000", "-c:a", "pcm_s16be"};
  ADD_FAILURE() << "no codec for " << path;
  return {};
}

bool RunFfmpeg(std::vector<std::string> inputs, const std::vector<std::string>& maps,
               const std::string& path, const std::vector<std::string>& options) {
  std::vector<std::string> argv = {"ffmpeg", "-hide_banner", "-loglevel",
                                   "error",  "-nostdin",     "-y"};
  argv.insert(argv.end(), inputs.begin(), inputs.end());
  argv.insert(argv.end(), maps.begin(), maps.end());
  auto codec = CodecOptions(path);
  if (codec.empty()) return false;
  argv.insert(argv.end(), {"-ac", "1"});
  argv.insert(argv.end(), codec.begin(), codec.end());
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(path);
  return Succeeded(argv, RunProgram(argv), "ffmpeg");
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv) {
  ProgramResult result;
  int out[2], err[2];
  if (argv.empty() || pipe(out) != 0) return result;
  if (pipe(err) != 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    close(out[0]);
    close(err[0]);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    std::fprintf(stderr, "cannot run %s\n", args[0]);
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  bool out_open = child > 0, err_open = child > 0;
  while (out_open || err_open) {
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (out_open && (fds[0].revents & (POLLIN | POLLHUP))) Drain(out[0], &result.output, &out_open);
    if (err_open && (fds[1].revents & (POLLIN | POLLHUP))) Drain(err[0], &result.errors, &err_open);
  }
  close(out[0]);
  close(err[0]);
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child)
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

bool MakeAudio(const std::string& path, const std::vector<std::string>& options) {
  return RunFfmpeg({"-f", "lavfi", "-i", "sine=f=440:d=0.5"}, {}, path, options);
}

bool MakeAudioWithCover(const std::string& path, const std::vector<std::string>& options) {
  std::string cover = path + ".cover.png";
  std::vector<std::string> argv = {
      "ffmpeg", "-hide_banner", "-loglevel",       "error",     "-nostdin", "-y", "-f",
      "lavfi",  "-i",           "testsrc=s=64x64", "-frames:v", "1",        cover};
  if (!Succeeded(argv, RunProgram(argv), "ffmpeg")) return false;
  std::vector<std::string> with_cover = options;
  with_cover.insert(with_cover.end(), {"-c:v", "copy", "-disposition:v", "attached_pic"});
  bool made = RunFfmpeg({"-f", "lavfi", "-i", "sine=f=440:d=0.5", "-i", cover},
                        {"-map", "0:a", "-map", "1:v"}, path, with_cover);
  std::filesystem::remove(cover);
  return made;
}

bool RunPython(const std::string& snippet, const std::vector<std::string>& args) {
  std::vector<std::string> argv = {kPython, "-c", std::string(kPythonCover) + snippet};
  argv.insert(argv.end(), args.begin(), args.end());
  ProgramResult result = RunProgram(argv);
  if (result.errors.find("No module named 'mutagen'") != std::string::npos) {
    ADD_FAILURE() << "mutagen is missing; scripts/install-deps installs python3-mutagen.\n"
                  << result.errors;
    return false;
  }
  return Succeeded(argv, result, kPython);
}

bool WriteId3v2(const std::string& path, int version, int encoding,
                const std::vector<Id3Frame>& frames) {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& [id, text] : frames) list.push_back({id, text});
  // ASCII escapes keep the text intact whatever locale the interpreter runs in.
  return RunPython(kPythonId3, {path, std::to_string(version), std::to_string(encoding),
                                list.dump(-1, ' ', true)});
}

bool WriteMp4Tags(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& items, int track,
                  int total, bool cover) {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& [atom, text] : items) list.push_back({atom, text});
  return RunPython(kPythonMp4, {path, list.dump(-1, ' ', true), std::to_string(track),
                                std::to_string(total), cover ? "1" : "0"});
}

bool AppendId3v1(const std::string& path, const std::string& title, const std::string& artist,
                 const std::string& album, int track, uint8_t genre) {
  std::vector<uint8_t> tag(128, 0);
  tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
  auto put = [&tag](size_t offset, const std::string& text) {
    for (size_t i = 0; i < text.size() && i < 30; ++i)
      tag[offset + i] = static_cast<uint8_t>(text[i]);
  };
  put(3, title);
  put(33, artist);
  put(63, album);
  put(93, "2001");
  if (track >= 0)
    tag[126] = static_cast<uint8_t>(track);
  else
    tag[125] = ' ';
  tag[127] = genre;
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out.write(reinterpret_cast<const char*>(tag.data()), static_cast<std::streamsize>(tag.size()));
  if (!out) ADD_FAILURE() << "cannot append to " << path;
  return static_cast<bool>(out);
}

bool PrependBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> content = ReadFileBytes(path);
  if (content.empty()) {
    ADD_FAILURE() << "cannot read " << path;
    return false;
  }
  content.insert(content.begin(), bytes.begin(), bytes.end());
  WriteFileBytes(path, content);
  return true;
}

std::string Utf8Of(const uint16_t* text) {
  return Utf16ToUtf8(text, SIZE_MAX, LoneSurrogate::kEscape);
}

ProgramResult RunQvlib(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {QV_QVLIB_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace qv::test
