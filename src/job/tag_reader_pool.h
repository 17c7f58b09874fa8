// Tag reading ahead of the job thread. On a freshly plugged-in stick every
// file costs a round trip to the device; a few reads in flight hide most of
// that wait, while the job thread still inserts the records one by one in
// list order, so the library is the same as from a one-file-at-a-time job.
//
// Only a window of entries past the last one the job thread finished is ever
// read, so memory stays flat however long the list. The readers and the job
// thread share atomic counters and per-slot markers, no locks; an idle reader
// blocks until the count of finished entries or the job's event count moves.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "tags/track_tags.h"

namespace qv {

// Where the readers find their files and how they read one.
struct TagSource {
  // Entries below this count are published and may be read; it may still
  // grow while the scan runs.
  const std::atomic<int32_t>* ready = nullptr;
  const char* (*path_of)(int32_t index) = nullptr;
  // GetTrackTags or a stand-in: 0 read, anything else unreadable.
  int (*read)(const char* path, TrackTags* tags, int language, const char* drive_root) = nullptr;
  int language = 0;
  const char* drive_root = "";  // mount path followed by "/"
  // While set (the cancel question is open), no new read starts but that of
  // the entry the job thread waits for.
  const std::atomic<bool>* hold = nullptr;
  // Raised by whoever grows `ready` or changes `hold`; the pool raises it
  // when a read is done, which is what the job thread waits for.
  std::atomic<uint32_t>* events = nullptr;
};

// Entries read ahead at most: a few hundred records of about 1 KB.
inline constexpr int32_t kTagWindow = 256;
// Readers a job uses unless told otherwise: enough reads in flight to keep a
// USB device busy, whatever the number of cores.
inline constexpr int kDefaultTagReaders = 8;
inline constexpr int kMaxTagReaders = 64;

// Readers that wait for room in the window are woken once this many entries
// were finished, not for each one: a wake is a system call, and a file sized
// ahead costs little more than that.
inline constexpr int32_t kRoomStep = 32;

// Take's answer while the entry is still being read.
inline constexpr int kTagsNotReady = -1;

class TagReaderPool {
 public:
  // Starts `readers` threads (1 to kMaxTagReaders) reading from entry
  // `first` on. `source` must outlive the pool.
  TagReaderPool(const TagSource& source, int readers, int32_t first);
  ~TagReaderPool();
  TagReaderPool(const TagReaderPool&) = delete;
  TagReaderPool& operator=(const TagReaderPool&) = delete;

  // The job thread's next entry, `index`: kTagsNotReady while it is being
  // read, else the reader's result, with the tags in *tags when it is 0.
  // The tags stay valid until Done(index).
  int Take(int32_t index, const TrackTags** tags) const;
  // Blocks until `index`, the job thread's next entry, has been read. That
  // entry is read even while `hold` is set, so the wait always ends. While
  // the readers are busy, the caller reads entries no reader has taken yet
  // rather than sleep.
  int TakeWhenRead(int32_t index, const TrackTags** tags);
  // The job thread is through with `index`; its slot takes a later entry.
  void Done(int32_t index);
  // Stops and joins the readers; entries read ahead are dropped. Idempotent.
  void Stop();

 private:
  struct Slot {
    TrackTagsStorage storage;
    int status = 0;
    std::atomic<int32_t> holds{-1};  // the entry whose result is in the slot
  };

  int32_t Claim();
  int32_t TryClaim();
  void Read(int32_t index);
  void ReaderLoop();

  TagSource source_;
  std::unique_ptr<Slot[]> slots_;
  std::atomic<int32_t> next_;  // the next entry no reader has claimed
  std::atomic<int32_t> done_;  // entries below it are finished with
  // Raised every kRoomStep finished entries and on Stop; what readers
  // waiting for room block on.
  std::atomic<uint32_t> room_{0};
  // The entry the job thread blocks on, or -1: only its reader wakes it.
  std::atomic<int32_t> awaited_{-1};
  std::atomic<bool> stop_{false};
  std::atomic<uint32_t> own_events_{0};  // when the source brings none
  std::vector<std::thread> threads_;
};

}  // namespace qv
