#include "job/drive_scan.h"

#include <fcntl.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "job/file_list.h"
#include "platform/directory_door.h"
#include "platform/file_door.h"

namespace qv {
namespace {

// The first line of the desktop.ini that marks a Windows recycle bin, CRLF
// and all; compared byte for byte.
constexpr char kRecycleMarker[] =
    "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}";
static_assert(sizeof kRecycleMarker - 1 == kRecycleMarkerBytes);

std::vector<SkippedFolder> g_skipped_folders;
size_t g_skipped_folder_count = 0;
size_t g_left_out_files = 0;

void NoteSkippedFolder(const char* path, int error_number) {
  ++g_skipped_folder_count;
  if (g_skipped_folders.size() < kSkippedFolderLimit)
    g_skipped_folders.push_back({path, error_number});
}

// Scan pause point: true when the walk must stop (cancel confirmed).
bool PausePoint(const JobState& state) {
  bool stop = false;
  WaitUntil(state.Control, [&] {
    stop = Load(state.CancelFlag);
    return stop || !Load(state.Canceling);
  });
  return stop;
}

// Joins path + "/" + name into out: false when it does not fit the scan's
// path buffer, and the entry is passed over.
bool JoinPath(char* out, const char* path, const char* name) {
  const size_t a = std::strlen(path), b = std::strlen(name);
  if (a + 1 + b + 1 > kScanPathBytes) return false;
  std::memcpy(out, path, a);
  out[a] = '/';
  std::memcpy(out + a + 1, name, b + 1);
  return true;
}

}  // namespace

char* ToUpperInPlace(char* text) {
  for (char* p = text; *p != 0; ++p) {
    const int c = static_cast<signed char>(*p);
    // Bytes above 0x7F stay: only ASCII letters have an upper case here.
    if (c >= 0) *p = static_cast<char>(std::toupper(c));
  }
  return text;
}

bool MatchesAudioExtension(const char* name) {
  const size_t length = std::strlen(name);
  if (length < 3) return false;
  char tail[5] = {};
  const size_t take = length < 4 ? length : 4;
  std::memcpy(tail, name + length - take, take);
  ToUpperInPlace(tail);
  const char* last3 = tail + take - 3;
  static const char* const kThree[] = {"MP3", "M4A", "AAC", "MP4", "WAV", "AIF"};
  for (const char* s : kThree) {
    if (std::strcmp(last3, s) == 0) return true;
  }
  return take == 4 && std::strcmp(tail, "AIFF") == 0;
}

int32_t WindowsTrasheChecker(const char* path) {
  char ini[kDesktopIniPathBytes];
  const size_t a = std::strlen(path);
  static const char kName[] = "/desktop.ini";
  if (a + sizeof kName > sizeof ini) return 1;
  std::memcpy(ini, path, a);
  std::memcpy(ini + a, kName, sizeof kName);
  FileDoor& files = Files();
  const int fd = OpenRegularFile(ini, O_RDONLY, 0);
  if (fd < 0) return 1;
  // Only the marker's length matters, so only that much is read.
  char head[kRecycleMarkerBytes];
  const int64_t n = ReadFully(fd, head, sizeof head);
  files.Close(fd);
  if (n != static_cast<int64_t>(sizeof head)) return 1;
  return std::memcmp(head, kRecycleMarker, sizeof head) == 0 ? 0 : 1;
}

void ClearSkippedFolders() {
  g_skipped_folders.clear();
  g_skipped_folder_count = 0;
  g_left_out_files = 0;
}

size_t LeftOutFileCount() {
  return g_left_out_files;
}

const std::vector<SkippedFolder>& SkippedFolders() {
  return g_skipped_folders;
}

size_t SkippedFolderCount() {
  return g_skipped_folder_count;
}

ScanResult searchDirectorySub(JobState& state, const char* path, int32_t level) {
  DirectoryDoor& dirs = Directories();
  errno = 0;
  void* dir = dirs.Open(path);
  // A folder that cannot be read is passed over; the rest of the drive is
  // still scanned, so an update does not drop the tracks behind it. The user
  // hears of it at the end, with the files that were skipped.
  if (dir == nullptr) {
    NoteSkippedFolder(path, errno);
    return kScanCarryOn;
  }
  // One buffer per level; the walk is at most eight deep.
  char child[kScanPathBytes];
  DirectoryEntry entry{};
  while (dirs.Next(dir, &entry)) {
    if (PausePoint(state)) {
      dirs.Close(dir);
      return kScanStop;
    }
    if (entry.name[0] == '.') continue;
    if (entry.type == EntryType::kDirectory) {
      if (level < kDeepestLevel && JoinPath(child, path, entry.name)) {
        if (WindowsTrasheChecker(child) == 0) continue;
        if (searchDirectorySub(state, child, level + 1) == kScanStop) {
          dirs.Close(dir);
          return kScanStop;
        }
      }
    } else if (entry.type == EntryType::kRegular) {
      if (!MatchesAudioExtension(entry.name) || !JoinPath(child, path, entry.name)) continue;
      // Past the limit the walk goes on only to count what it leaves out.
      if (Load(state.FindCount) >= kScanFileLimit) {
        ++g_left_out_files;
      } else if (FileListAdd(child) == 0) {
        // The entry is stored before the count that publishes it grows.
        AddOne(state.FindCount);
        RaiseEvents(state);
      }
    }
  }
  dirs.Close(dir);
  return kScanCarryOn;
}

}  // namespace qv
