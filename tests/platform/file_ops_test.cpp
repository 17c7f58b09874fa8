#include "platform/file_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/faulty_file_door.h"
#include "support/temp_dir.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

TEST(FileOps, CopyNeverOverwritesAndLeavesNoPartialTarget) {
  TempDir dir;
  std::vector<uint8_t> big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 31 + 7);
  const std::string a = dir.Write("a", big), b = dir.str(true) + "b", c = dir.Write("c", {1});
  ASSERT_TRUE(CopyFileNoOverwrite(a.c_str(), b.c_str()));
  EXPECT_EQ(ReadFileBytes(b), big);
  EXPECT_FALSE(CopyFileNoOverwrite(a.c_str(), c.c_str()));
  EXPECT_EQ(ReadFileBytes(c), std::vector<uint8_t>{1});
  EXPECT_FALSE(
      CopyFileNoOverwrite((dir.str(true) + "none").c_str(), (dir.str(true) + "d").c_str()));
  EXPECT_TRUE(CopyFileNoOverwrite(dir.Write("e", {}).c_str(), (dir.str(true) + "f").c_str()));
  EXPECT_EQ(fs::file_size(dir.path() / "f"), 0u);
  for (FileOp op : {FileOp::kRead, FileOp::kWrite, FileOp::kFsync, FileOp::kClose}) {
    FaultyFileDoor door;
    door.FailNth(op, op == FileOp::kRead || op == FileOp::kWrite ? 2 : 1);
    {
      ScopedFileDoor scoped(&door);
      EXPECT_FALSE(CopyFileNoOverwrite(a.c_str(), (dir.str(true) + "t").c_str()));
    }
    EXPECT_TRUE(door.Fired());
    EXPECT_FALSE(fs::exists(dir.path() / "t")) << static_cast<int>(op);
  }
  EXPECT_FALSE(fs::exists(dir.path() / "d"));
}

TEST(FileOps, ListRegularFilesAndRemove) {
  TempDir dir;
  dir.Write("x", {1});
  dir.Write("sub/y", {2});
  fs::create_symlink(dir.path() / "x", dir.path() / "link");
  std::vector<std::string> names;
  ASSERT_TRUE(ListDirectory(dir.str().c_str(), &names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"link", "sub", "x"}));
  EXPECT_TRUE(IsRegularFileNoFollow((dir.path() / "x").c_str()));
  EXPECT_FALSE(IsRegularFileNoFollow((dir.path() / "link").c_str()));
  EXPECT_FALSE(IsRegularFileNoFollow((dir.path() / "sub").c_str()));
  EXPECT_FALSE(ListDirectory((dir.path() / "none").c_str(), &names));
  EXPECT_TRUE(RemovePath((dir.path() / "x").c_str()));
  EXPECT_FALSE(RemovePath((dir.path() / "x").c_str()));
}

}  // namespace
}  // namespace qv::test
