// Directory reading for the drive scan and the library restore. Like the file
// door, it can be replaced by tests, which is the only way to make a folder
// unreadable when the tests run with every permission.
#pragma once

#include <cstdint>

namespace qv {

enum class EntryType : uint8_t { kDirectory, kRegular, kOther };

struct DirectoryEntry {
  const char* name;  // valid until the next Next or Close
  EntryType type;    // as the directory entry reports it; links are kOther
};

class DirectoryDoor {
 public:
  virtual ~DirectoryDoor() = default;
  // A handle, or nullptr when the directory cannot be opened.
  virtual void* Open(const char* path) = 0;
  // false at the end of the directory.
  virtual bool Next(void* handle, DirectoryEntry* entry) = 0;
  virtual void Close(void* handle) = 0;
};

class SystemDirectoryDoor : public DirectoryDoor {
 public:
  void* Open(const char* path) override;
  bool Next(void* handle, DirectoryEntry* entry) override;
  void Close(void* handle) override;
};

DirectoryDoor& Directories();
// nullptr puts the system door back. Only tests call it, before any job runs.
void SetDirectoryDoor(DirectoryDoor* door);

}  // namespace qv
