// A fresh directory under the system's temporary folder, removed with all its
// contents when the object goes away, and small helpers to put files in it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qv::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path as a string, with a trailing "/" when with_slash is set.
  std::string str(bool with_slash = false) const;
  // Writes bytes to a file below the directory, creating folders on the way;
  // returns its full path.
  std::string Write(const std::string& relative, const std::vector<uint8_t>& bytes) const;

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace qv::test
