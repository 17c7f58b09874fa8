// The mounted local volumes of a Linux machine, read from the kernel's mount
// table: file systems on block devices, and the root.
#pragma once

#include <string>
#include <vector>

namespace qv {

struct MountedVolume {
  std::string mount_path;  // no trailing "/" except for the root itself
  std::string type;        // file-system type name, as the kernel names it
  std::string device;      // mount source, "/dev/..." for a block device
};

// Parses mountinfo text (the format of /proc/self/mountinfo) into the volumes
// worth listing, in table order. is_block_device decides whether a mount
// source is a block device; nullptr means "looks like /dev/...".
std::vector<MountedVolume> ParseMountInfo(const std::string& text,
                                          bool (*is_block_device)(const std::string&));

// The mounted local volumes of this machine, in mount-table order.
std::vector<MountedVolume> MountedLocalVolumes();

// The mount path of the volume holding path, and its type name: false when
// path does not exist. Picks the longest mount path that contains it.
bool VolumeOfPath(const std::string& path, MountedVolume* volume);

// The name shown for a volume: its label where /dev/disk/by-label names one,
// otherwise the last component of its mount path ("/" for the root).
std::string VolumeDisplayName(const MountedVolume& volume);
std::string LastPathComponent(const std::string& path);

// Whether the volume at path accepts writing (mounted read-write and writable
// by this user).
bool IsWritableVolume(const std::string& path);

}  // namespace qv
