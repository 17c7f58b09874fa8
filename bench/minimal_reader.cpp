#include "minimal_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace qv::bench {
namespace {

// One buffer for the whole run: the baseline should not pay for memory the
// kernel has to hand out.
std::vector<uint8_t>& Scratch(size_t size) {
  static std::vector<uint8_t> buffer;
  if (buffer.size() < size) buffer.resize(size);
  return buffer;
}

}  // namespace

int64_t MinimalId3Read(const char* path) {
  int fd = open(path, O_RDONLY);
  if (fd < 0) return -1;
  int64_t total = -1;
  uint8_t header[10];
  uint8_t v1[128];
  if (read(fd, header, 10) == 10) {
    total = 10;
    if (header[0] == 'I' && header[1] == 'D' && header[2] == '3') {
      // Tag size: four bytes of seven bits.
      size_t size = (size_t{header[6]} & 0x7F) << 21 | (size_t{header[7]} & 0x7F) << 14 |
                    (size_t{header[8]} & 0x7F) << 7 | (header[9] & 0x7F);
      ssize_t got = read(fd, Scratch(size).data(), size);
      total = got < 0 ? -1 : total + got;
    }
    if (total >= 0 && lseek(fd, -128, SEEK_END) >= 0 && read(fd, v1, 128) == 128)
      total += 128;
    else
      total = -1;
  }
  close(fd);
  return total;
}

int64_t MinimalMp4Read(const char* path) {
  int fd = open(path, O_RDONLY);
  if (fd < 0) return -1;
  int64_t total = 0;
  uint8_t header[8];
  while (read(fd, header, 8) == 8) {
    total += 8;
    uint32_t size = uint32_t{header[0]} << 24 | uint32_t{header[1]} << 16 |
                    uint32_t{header[2]} << 8 | header[3];
    if (size < 8) break;
    if (header[4] == 'm' && header[5] == 'o' && header[6] == 'o' && header[7] == 'v') {
      ssize_t got = read(fd, Scratch(size - 8).data(), size - 8);
      total = got < 0 ? -1 : total + got;
      break;
    }
    if (lseek(fd, size - 8, SEEK_CUR) < 0) {
      total = -1;
      break;
    }
  }
  close(fd);
  return total;
}

}  // namespace qv::bench
