// Real audio files made at test time by ffmpeg. A missing tool fails the test, never skips it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

struct ProgramResult {
  int status = -1;  // 127 when the program could not be run
  std::string output, errors;
};

// Runs a program found on PATH, without a shell.
ProgramResult RunProgram(const std::vector<std::string>& argv);
ProgramResult RunQvlib(const std::vector<std::string>& args);
std::vector<std::string> SplitLines(const std::string& text);

// A short tone, the codec after the extension; options go to ffmpeg; cover attaches a picture.
bool MakeAudio(const std::string& path, const std::vector<std::string>& options = {}, bool cover = false);

// Puts bytes before and after a file's content.
bool Surround(const std::string& path, const std::vector<uint8_t>& before, const std::vector<uint8_t>& after);

// A zero-terminated UTF-16 text as UTF-8; a lone surrogate becomes \uXXXX.
std::string Utf8Of(const uint16_t* text);

}  // namespace qv::test
