#include "support/real_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "support/temp_dir.h"
#include "tags/text/text_encoding.h"

namespace qv::test {
namespace {

bool Succeeded(const std::vector<std::string>& argv, const ProgramResult& result) {
  if (result.status == 0) return true;
  ADD_FAILURE() << argv[0] << (result.status == 127 ? " is missing (scripts/install-deps)" : "") << " failed with "
                << result.status << ": " << argv.back() << "\n" << result.errors;
  return false;
}

// clang-format off
std::vector<std::string> CodecOptions(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".mp3") return {"-ac", "1", "-ar", "22050", "-c:a", "libmp3lame", "-b:a", "32k", "-id3v2_version", "0", "-write_xing", "0"};
  if (ext == ".m4a" || ext == ".mp4") return {"-ac", "1", "-ar", "22050", "-c:a", "aac", "-b:a", "24k"};
  return {"-ac", "1", "-ar", "8000", "-c:a", ext == ".wav" ? "pcm_u8" : "pcm_s16be"};
}
// clang-format on

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv) {
  TempDir io;
  const std::string out = io.str(true) + "out", err = io.str(true) + "err";
  pid_t child = fork();
  if (child == 0) {
    // No terminal to ask: questions must take their no-terminal path.
    dup2(open("/dev/null", O_RDONLY), 0);
    dup2(open(out.c_str(), O_WRONLY | O_CREAT, 0600), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT, 0600), 2);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  ProgramResult result;
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child)
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const auto output = ReadFileBytes(out), errors = ReadFileBytes(err);
  result.output.assign(output.begin(), output.end()), result.errors.assign(errors.begin(), errors.end());
  return result;
}

ProgramResult RunQvlib(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {QV_QVLIB_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunProgram(argv);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < text.size(); start = end + 1)
    end = std::min(text.find('\n', start), text.size()), lines.push_back(text.substr(start, end - start));
  return lines;
}

bool MakeAudio(const std::string& path, const std::vector<std::string>& options, bool cover) {
  std::vector<std::string> argv = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "lavfi", "-i", "sine=d=0.5"};
  if (cover) argv.insert(argv.end(), {"-f", "lavfi", "-i", "testsrc=s=64x64:d=0.04", "-frames:v", "1", "-map", "0:a",
                                      "-map", "1:v", "-c:v", "png", "-disposition:v", "attached_pic"});
  auto codec = CodecOptions(path);
  argv.insert(argv.end(), codec.begin(), codec.end());
  argv.insert(argv.end(), options.begin(), options.end());
  argv.push_back(path);
  return Succeeded(argv, RunProgram(argv));
}

bool Surround(const std::string& path, const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
  std::vector<uint8_t> content = ReadFileBytes(path);
  if (content.empty()) return ADD_FAILURE() << "cannot read " << path, false;
  content.insert(content.begin(), before.begin(), before.end());
  content.insert(content.end(), after.begin(), after.end());
  WriteFileBytes(path, content);
  return true;
}

std::string Utf8Of(const uint16_t* text) { return Utf16ToUtf8(text, SIZE_MAX, LoneSurrogate::kEscape); }

}  // namespace qv::test
