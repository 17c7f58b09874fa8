#include "platform/directory_door.h"

#include <dirent.h>

namespace qv {
namespace {

SystemDirectoryDoor g_system_directories;
DirectoryDoor* g_directories = &g_system_directories;

}  // namespace

void* SystemDirectoryDoor::Open(const char* path) {
  return opendir(path);
}

bool SystemDirectoryDoor::Next(void* handle, DirectoryEntry* entry) {
  dirent* d = readdir(static_cast<DIR*>(handle));
  if (d == nullptr) return false;
  entry->name = d->d_name;
  // Only the type the entry reports counts: a file system that reports none
  // (DT_UNKNOWN) yields nothing, and a link is never followed.
  entry->type = d->d_type == DT_DIR   ? EntryType::kDirectory
                : d->d_type == DT_REG ? EntryType::kRegular
                                      : EntryType::kOther;
  return true;
}

void SystemDirectoryDoor::Close(void* handle) {
  closedir(static_cast<DIR*>(handle));
}

DirectoryDoor& Directories() {
  return *g_directories;
}

void SetDirectoryDoor(DirectoryDoor* door) {
  g_directories = door != nullptr ? door : &g_system_directories;
}

}  // namespace qv
