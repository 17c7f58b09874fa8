#include "job/tag_reader_pool.h"

#include <climits>
#include <cstring>

#include "job/job_state.h"

namespace qv {
namespace {

// The same empty record a one-file-at-a-time job starts every file with.
void ClearStorage(TrackTagsStorage* s) {
  std::memset(s->genre, 0, sizeof s->genre);
  std::memset(s->artist, 0, sizeof s->artist);
  std::memset(s->album, 0, sizeof s->album);
  std::memset(s->title, 0, sizeof s->title);
  std::memset(s->path, 0, sizeof s->path);
  s->tags = TrackTags{0, 0, 0, 0, 0, 0, s->genre, s->artist, s->album, s->title, s->path};
}

}  // namespace

TagReaderPool::TagReaderPool(const TagSource& source, int readers, int32_t first)
    : source_(source), slots_(new Slot[kTagWindow]), next_(first), done_(first) {
  if (source_.events == nullptr) source_.events = &own_events_;
  if (readers < 1) readers = 1;
  if (readers > kMaxTagReaders) readers = kMaxTagReaders;
  threads_.reserve(static_cast<size_t>(readers));
  for (int r = 0; r < readers; ++r) threads_.emplace_back([this] { ReaderLoop(); });
}

TagReaderPool::~TagReaderPool() {
  Stop();
}

void TagReaderPool::Stop() {
  stop_.store(true, std::memory_order_release);
  // Wakes readers waiting for room and those waiting for entries.
  done_.store(INT_MAX, std::memory_order_release);
  Raise(room_);
  Raise(*source_.events);
  for (std::thread& t : threads_) {
    if (t.joinable()) t.join();
  }
}

// The next entry for this reader, or -1 once the pool stops. An entry is
// claimed only when it is published and its slot's previous entry is done.
int32_t TagReaderPool::Claim() {
  while (!stop_.load(std::memory_order_acquire)) {
    const uint32_t seen = source_.events->load(std::memory_order_acquire);
    int32_t n = next_.load(std::memory_order_acquire);
    const int32_t done = done_.load(std::memory_order_acquire);
    if (n > done && source_.hold != nullptr && source_.hold->load(std::memory_order_acquire)) {
      source_.events->wait(seen, std::memory_order_acquire);
      continue;
    }
    if (n - done >= kTagWindow) {
      // Woken when a step of slots is free; the room count is taken before
      // done_ is looked at again, so a step taken in between is not missed.
      const uint32_t room = room_.load(std::memory_order_seq_cst);
      if (next_.load(std::memory_order_seq_cst) - done_.load(std::memory_order_seq_cst) >=
          kTagWindow) {
        room_.wait(room, std::memory_order_acquire);
      }
      continue;
    }
    if (n < source_.ready->load(std::memory_order_acquire)) {
      if (next_.compare_exchange_weak(n, n + 1, std::memory_order_acq_rel)) return n;
      continue;
    }
    source_.events->wait(seen, std::memory_order_acquire);
  }
  return -1;
}

// Claim for the job thread, which never waits here: -1 when no entry may be
// read now. While `hold` is set it reads none, as its own next entry is
// already claimed whenever it waits for it.
int32_t TagReaderPool::TryClaim() {
  int32_t n = next_.load(std::memory_order_acquire);
  const int32_t done = done_.load(std::memory_order_acquire);
  if (source_.hold != nullptr && source_.hold->load(std::memory_order_acquire)) return -1;
  if (n - done >= kTagWindow || n >= source_.ready->load(std::memory_order_acquire)) return -1;
  return next_.compare_exchange_strong(n, n + 1, std::memory_order_acq_rel) ? n : -1;
}

void TagReaderPool::Read(int32_t index) {
  Slot& slot = slots_[index % kTagWindow];
  ClearStorage(&slot.storage);
  const int read = source_.read(source_.path_of(index), &slot.storage.tags, source_.language,
                                source_.drive_root);
  slot.status = read == 0 ? 0 : 2;  // 2: cannot be read, as the engine says
  slot.holds.store(index, std::memory_order_seq_cst);
  // The job thread says which entry it blocks on before it looks at the
  // slot a last time, so one of the two always sees the other.
  if (awaited_.load(std::memory_order_seq_cst) == index) slot.holds.notify_all();
}

void TagReaderPool::ReaderLoop() {
  for (int32_t index = Claim(); index >= 0; index = Claim()) Read(index);
}

int TagReaderPool::Take(int32_t index, const TrackTags** tags) const {
  const Slot& slot = slots_[index % kTagWindow];
  if (slot.holds.load(std::memory_order_acquire) != index) return kTagsNotReady;
  *tags = &slot.storage.tags;
  return slot.status;
}

int TagReaderPool::TakeWhenRead(int32_t index, const TrackTags** tags) {
  Slot& slot = slots_[index % kTagWindow];
  for (int32_t held = slot.holds.load(std::memory_order_acquire); held != index;
       held = slot.holds.load(std::memory_order_acquire)) {
    if (const int32_t other = TryClaim(); other >= 0) {
      Read(other);
      continue;
    }
    awaited_.store(index, std::memory_order_seq_cst);
    if (slot.holds.load(std::memory_order_seq_cst) == held) {
      slot.holds.wait(held, std::memory_order_acquire);
    }
    awaited_.store(-1, std::memory_order_relaxed);
  }
  return Take(index, tags);
}

void TagReaderPool::Done(int32_t index) {
  done_.store(index + 1, std::memory_order_seq_cst);
  if ((index + 1) % kRoomStep == 0) Raise(room_);
}

}  // namespace qv
