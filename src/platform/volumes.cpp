#include "platform/volumes.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/file_ops.h"

namespace qv {
namespace {

// mountinfo escapes space, tab, newline and backslash as three octal digits.
std::string UnescapeOctal(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && field.size() - i >= 4) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
        i += 3;
        continue;
      }
    }
    out.push_back(field[i]);
  }
  return out;
}

// udev writes a label's unsafe bytes as \xHH.
std::string UnescapeHex(const std::string& name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && name.size() - i >= 4 && name[i + 1] == 'x') {
      char hex[3] = {name[i + 2], name[i + 3], 0};
      char* end = nullptr;
      long v = std::strtol(hex, &end, 16);
      if (end == hex + 2) {
        out.push_back(static_cast<char>(v));
        i += 3;
        continue;
      }
    }
    out.push_back(name[i]);
  }
  return out;
}

bool LooksLikeDevice(const std::string& source) {
  return source.rfind("/dev/", 0) == 0;
}

bool IsBlockDevice(const std::string& source) {
  struct stat st {};
  return LooksLikeDevice(source) && stat(source.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

std::string ReadMountInfo() {
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

// Every mount of the table, block device or not, for looking up a path.
std::vector<MountedVolume> AllMounts(const std::string& text) {
  std::vector<MountedVolume> mounts;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    // id parent major:minor root mount-point options [optional...] - type source super
    std::istringstream fields(line);
    std::string id, parent, devno, root, mount_point, field;
    if (!(fields >> id >> parent >> devno >> root >> mount_point)) continue;
    while (fields >> field && field != "-") {
    }
    MountedVolume v;
    if (field != "-" || !(fields >> v.type >> v.device)) continue;
    v.mount_path = UnescapeOctal(mount_point);
    v.device = UnescapeOctal(v.device);
    mounts.push_back(std::move(v));
  }
  return mounts;
}

}  // namespace

std::vector<MountedVolume> ParseMountInfo(const std::string& text,
                                          bool (*is_block_device)(const std::string&)) {
  if (is_block_device == nullptr) is_block_device = LooksLikeDevice;
  std::vector<MountedVolume> volumes;
  for (MountedVolume& v : AllMounts(text)) {
    if (v.mount_path != "/" && !is_block_device(v.device)) continue;
    // A path mounted twice (a bind, or a mount over a mount) is listed once.
    bool seen = false;
    for (const MountedVolume& w : volumes) seen = seen || w.mount_path == v.mount_path;
    if (!seen) volumes.push_back(std::move(v));
  }
  return volumes;
}

std::vector<MountedVolume> MountedLocalVolumes() {
  return ParseMountInfo(ReadMountInfo(), IsBlockDevice);
}

bool VolumeOfPath(const std::string& path, MountedVolume* volume) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  const std::string real = RealPath(path);
  size_t best = 0;
  bool found = false;
  // The last of equally long mount paths is the one on top.
  for (const MountedVolume& v : AllMounts(ReadMountInfo())) {
    const std::string& m = v.mount_path;
    bool contains = m == "/" || real == m || (real.rfind(m, 0) == 0 && real[m.size()] == '/');
    if (contains && m.size() >= best) {
      best = m.size();
      *volume = v;
      found = true;
    }
  }
  return found;
}

std::string LastPathComponent(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p == "/") return p;
  size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string VolumeDisplayName(const MountedVolume& volume) {
  std::vector<std::string> labels;
  if (LooksLikeDevice(volume.device) && ListDirectory("/dev/disk/by-label", &labels)) {
    const std::string device = RealPath(volume.device);
    for (const std::string& label : labels) {
      if (RealPath("/dev/disk/by-label/" + label) == device) return UnescapeHex(label);
    }
  }
  return LastPathComponent(volume.mount_path);
}

bool IsWritableVolume(const std::string& path) {
  struct statvfs vfs {};
  if (statvfs(path.c_str(), &vfs) != 0) return false;
  if ((vfs.f_flag & ST_RDONLY) != 0) return false;
  return access(path.c_str(), W_OK) == 0;
}

}  // namespace qv
