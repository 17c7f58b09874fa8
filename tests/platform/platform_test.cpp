// Mount tables, drive names and file copies on folders the test makes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <map>
#include <vector>

#include "job/drive_check.h"
#include "platform/file_ops.h"
#include "platform/volumes.h"
#include "platform/zeroed_memory.h"
#include "support/faulty_file_door.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {
// clang-format off

namespace fs = std::filesystem;

// Block devices and the root, each mount point once, escapes read back; a
// block-device test, when given, decides instead.
TEST(Volumes, MountTableAndNames) {
  constexpr char kTable[] = "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
      "23 22 0:21 / /proc rw,nosuid - proc proc rw\n"
      "40 22 8:17 / /media/me/MY\\040STICK rw,nosuid shared:5 master:2 - vfat /dev/sdb1 rw\n"
      "41 22 0:40 / /tmp rw - tmpfs tmpfs rw\n" "42 22 8:33 / /media/me/Caf\\303\\251 rw - hfsplus /dev/sdc1 rw\n"
      "43 22 8:33 / /media/me/Caf\\303\\251 rw - hfsplus /dev/sdc1 rw\n"
      "44 22 8:49 /sub /srv/bind123\\077\\9 rw - ext4 /dev/sdd1 rw\n" "garbage line\n";
  const auto paths = [](const std::vector<MountedVolume>& volumes) {
    std::string out;
    for (const auto& v : volumes) out += v.mount_path + " " + v.type + " " + v.device + ";";
    return out;
  };
  EXPECT_EQ(paths(ParseMountInfo(kTable, nullptr)), "/ ext4 /dev/sda2;/media/me/MY STICK vfat /dev/sdb1;"
                                                    "/media/me/Café hfsplus /dev/sdc1;/srv/bind123?\\9 ext4 /dev/sdd1;");
  EXPECT_EQ(paths(ParseMountInfo(kTable, [](const std::string& s) { return s == "/dev/sdb1"; })),
            "/ ext4 /dev/sda2;/media/me/MY STICK vfat /dev/sdb1;");
  EXPECT_EQ(VolumeDisplayName({"/media/me/MY STICK", "vfat", "/nonexistent/device"}), "MY STICK");
  EXPECT_EQ(std::tuple(LastPathComponent("/"), LastPathComponent("/a/bc//")), std::tuple("/", "bc"));
  for (auto [name, kind] : {std::pair{"msdos", 1u}, {"vfat", 1u}, {"fat", 1u}, {"hfs", 2u}, {"hfsplus", 2u}, {"ext4", 0u}, {"exfat", 0u},
                            {"VFAT", 0u}, {"hfsx", 0u}, {"", 0u}}) EXPECT_EQ(CheckFileSystem(name), kind) << name;
}

int NoLibrary(const char*, uint32_t) { return -1; }
int HasLibrary(const char*, uint32_t) { return 0; }

TEST(Volumes, ThisMachineAndItsDriveChecks) {
  test::TempDir dir;
  MountedVolume of_tmp;
  ASSERT_TRUE(VolumeOfPath(dir.str(), &of_tmp));
  EXPECT_EQ(dir.str().rfind(of_tmp.mount_path == "/" ? "" : of_tmp.mount_path + "/", 0), 0u) << of_tmp.mount_path;
  EXPECT_FALSE(VolumeOfPath(dir.str() + "/missing", &of_tmp));
  DriveCheckResult r = MakeCheck(dir.str().c_str(), 2, NoLibrary);
  EXPECT_EQ(std::tuple(r.check, std::string(r.file_system)), std::tuple(kDriveNoLibrary, "hfs"));
  r = MakeCheck(dir.str().c_str(), 1, HasLibrary);
  EXPECT_EQ(std::tuple(r.check, std::string(r.file_system)), std::tuple(kDriveHasLibrary, "msdos"));
  r = MakeCheck((dir.str() + "/gone").c_str(), 1, HasLibrary);
  EXPECT_EQ(r.problem, DriveProblem::kMissing);
  r = MakeCheck("/", 0, HasLibrary);
  EXPECT_EQ(r.check, kDriveNotUsable);
  EXPECT_TRUE(r.problem == DriveProblem::kStartupVolume || r.problem == DriveProblem::kReadOnly);
  EXPECT_EQ(CheckPath(dir.str().c_str()), -1);
}

TEST(FileOps, CopyNeverOverwritesOrLeavesAPartialTargetListAndRemove) {
  TempDir dir;
  std::vector<uint8_t> big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 31 + 7);
  const std::string a = dir.Write("a", big), b = dir.str(true) + "b", c = dir.Write("c", {1});
  ASSERT_TRUE(CopyFileNoOverwrite(a.c_str(), b.c_str()));
  EXPECT_EQ(ReadFileBytes(b), big);
  EXPECT_FALSE(CopyFileNoOverwrite(a.c_str(), c.c_str()));
  EXPECT_EQ(ReadFileBytes(c), std::vector<uint8_t>{1});
  EXPECT_FALSE(CopyFileNoOverwrite((dir.str(true) + "none").c_str(), (dir.str(true) + "d").c_str()));
  EXPECT_EQ((std::tuple{CopyFileNoOverwrite(dir.Write("e", {}).c_str(), (dir.str(true) + "f").c_str()), fs::file_size(dir.path() / "f")}), std::tuple(true, 0));
  for (FileOp op : {FileOp::kRead, FileOp::kWrite, FileOp::kFsync, FileOp::kClose}) {
    FaultyFileDoor door;
    door.FailNth(op, op == FileOp::kRead || op == FileOp::kWrite ? 2 : 1);
    std::optional<ScopedFileDoor> scoped(std::in_place, &door);
    EXPECT_FALSE(CopyFileNoOverwrite(a.c_str(), (dir.str(true) + "t").c_str()));
    scoped.reset();
    EXPECT_EQ(std::tuple(door.Fired(), fs::exists(dir.path() / "t")), std::tuple(true, false)) << static_cast<int>(op);
  }
  EXPECT_FALSE(fs::exists(dir.path() / "d"));
  fs::create_symlink(a, dir.path() / "link");
  std::vector<std::string> names;
  EXPECT_EQ((std::tuple{ListDirectory(dir.str().c_str(), &names), ListDirectory((dir.path() / "none").c_str(), &names)}), std::tuple(true, false));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c", "e", "f", "link"}));
  EXPECT_EQ(std::tuple(IsRegularFileNoFollow(a.c_str()), IsRegularFileNoFollow((dir.path() / "link").c_str()), IsRegularFileNoFollow(dir.str().c_str())), std::tuple(true, false, false));
  EXPECT_EQ((std::tuple{RemovePath(a.c_str()), RemovePath(a.c_str())}), std::tuple(true, false));
}

// A reserved block is zero and aligned, and a write past it faults; kept, a
// block given back comes back as it was reserved.
TEST(ZeroedMemory, BlockIsZeroAlignedAndGuarded) {
  KeepReleasedBlocks(true);
  std::map<size_t, uint8_t*> first;
  for (size_t bytes : {size_t{1}, size_t{4096}, size_t{2400056}, size_t{1}, size_t{4096}, size_t{2400056}}) {
    auto* block = static_cast<uint8_t*>(ReserveZeroed(bytes));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(first.emplace(bytes, block).first->second, block);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 64, 0u);
    EXPECT_EQ(std::count(block, block + bytes, 0), static_cast<std::ptrdiff_t>(bytes));
    block[bytes - 1] = block[0] = 1;
    EXPECT_DEATH(block[(bytes + 63) / 64 * 64] = 1, "");
    ReleaseZeroed(block, bytes);
  }
}

// clang-format on
}  // namespace
}  // namespace qv::test
