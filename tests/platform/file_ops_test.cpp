#include "platform/file_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/faulty_file_door.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileDoor;
using test::FileOp;
using test::ReadFileBytes;
using test::ScopedFileDoor;
using test::TempDir;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + 7);
  return bytes;
}

TEST(CopyFile, CopiesEveryByteAndNeverOverwrites) {
  TempDir dir;
  const std::string a = dir.Write("a", Pattern(200000));
  const std::string b = (dir.path() / "b").string();
  ASSERT_TRUE(CopyFileNoOverwrite(a.c_str(), b.c_str()));
  EXPECT_EQ(ReadFileBytes(b), Pattern(200000));
  const std::string c = dir.Write("c", {1, 2, 3});
  EXPECT_FALSE(CopyFileNoOverwrite(a.c_str(), c.c_str()));
  EXPECT_EQ(ReadFileBytes(c), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(CopyFileNoOverwrite((dir.path() / "missing").c_str(), (dir.path() / "d").c_str()));
  EXPECT_FALSE(fs::exists(dir.path() / "d"));
  // An empty file copies as an empty file.
  const std::string e = dir.Write("e", {});
  EXPECT_TRUE(CopyFileNoOverwrite(e.c_str(), (dir.path() / "f").c_str()));
  EXPECT_EQ(fs::file_size(dir.path() / "f"), 0u);
}

TEST(CopyFile, FailedCopyLeavesNoPartialTarget) {
  TempDir dir;
  const std::string a = dir.Write("a", Pattern(200000));
  for (FileOp op : {FileOp::kRead, FileOp::kWrite, FileOp::kFsync, FileOp::kClose}) {
    FaultyFileDoor door;
    door.FailNth(op, op == FileOp::kRead || op == FileOp::kWrite ? 2 : 1);
    const fs::path target = dir.path() / "target";
    {
      ScopedFileDoor scoped(&door);
      EXPECT_FALSE(CopyFileNoOverwrite(a.c_str(), target.c_str()));
    }
    EXPECT_TRUE(door.Fired());
    EXPECT_FALSE(fs::exists(target)) << static_cast<int>(op);
  }
}

TEST(Entries, ListAndRegularFileTest) {
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
}  // namespace qv
