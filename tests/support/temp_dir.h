// A fresh folder under the system's temporary folder, removed with all its
// contents when the object goes away.
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
  std::string str(bool with_slash = false) const {
    return path_.string() + (with_slash ? "/" : "");
  }
  // Writes a file below the folder, making folders on the way; its full path.
  std::string Write(const std::string& relative, const std::vector<uint8_t>& bytes) const;

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace qv::test
