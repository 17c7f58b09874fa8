// Reads the title, artist, album, genre and track number of an M4A or MP4
// file from its metadata item list, reached through moov/udta/meta/ilst.
//
// Atom header (all integers big-endian):
//   offset  size  field
//   0       4     atom size, header included; 0 = up to the end of the parent,
//                 1 = a 64-bit size follows the type
//   4       4     atom type, four bytes compared exactly
//   8       8     64-bit atom size, only when the size field is 1
//
// "meta" usually carries 4 bytes of version and flags before its children;
// some writers leave them out, and then "hdlr" sits where those 4 bytes end.
//
// Item (a child of "ilst"): its payload is a "data" atom:
//   offset  size  field
//   0       4     size of the data atom
//   4       4     "data"
//   8       4     type indicator and flags (not looked at)
//   12      4     locale (not looked at)
//   16      n     value: UTF-8 text, or for "trkn" 2 reserved bytes, the track,
//                 the total and 2 reserved bytes, 16-bit each
#include <unistd.h>

#include <cstring>

#include "platform/byte_order.h"
#include "platform/file_door.h"
#include "tags/tag_file.h"
#include "tags/tag_readers.h"
#include "tags/text/text_encoding.h"

namespace qv {
namespace {

constexpr uint32_t kSizeInvalid = 0xFFFFFFFFu;
constexpr uint32_t kValueOffset = 16;
constexpr uint32_t kTrknPayload = 20;
// The longest field holds 63 units and every 3 bytes of UTF-8 give at least
// one unit, so a value cut here stores the same text as the whole value would.
constexpr uint32_t kValueKeep = 512;

enum class Step { kOk, kFailed, kStopped, kFileEnded };

// The file position, and the bytes that were read ahead to tell the two
// shapes of "meta" apart; they are handed out before the file is read again,
// so the walk never seeks backwards.
struct Walk {
  int fd;
  uint64_t pos;
  uint64_t file_end;
  uint8_t ahead[8];
  uint32_t ahead_len;
  uint32_t ahead_at;
};

// The number of bytes read (fewer when the file ended) or -1.
int64_t ReadBytes(Walk* walk, uint8_t* dst, uint32_t count) {
  uint32_t done = 0;
  while (done < count && walk->ahead_at < walk->ahead_len)
    dst[done++] = walk->ahead[walk->ahead_at++];
  if (done < count) {
    int64_t n = TagRead(walk->fd, dst + done, count - done);
    if (n < 0) return -1;
    done += static_cast<uint32_t>(n);
  }
  walk->pos += done;
  return done;
}

bool Skip(Walk* walk, uint64_t count) {
  while (count > 0 && walk->ahead_at < walk->ahead_len) {
    ++walk->ahead_at;
    ++walk->pos;
    --count;
  }
  if (count == 0) return true;
  if (TagSeek(walk->fd, static_cast<int64_t>(count), SEEK_CUR) < 0) return false;
  walk->pos += count;
  return true;
}

struct Header {
  uint8_t type[4];
  uint64_t size;      // whole atom
  uint32_t head_len;  // 8, or 16 with a 64-bit size
};

// Reads the next atom header of a parent that has `budget` bytes left and
// checks its size against that and against the rest of the file.
Step ReadHeader(Walk* walk, uint64_t budget, Header* out) {
  const uint64_t start = walk->pos;
  const uint64_t file_left = walk->file_end > start ? walk->file_end - start : 0;
  uint8_t head[8];
  int64_t n = ReadBytes(walk, head, 8);
  if (n < 0) return Step::kFailed;
  if (n < 8) return Step::kFileEnded;
  const std::span<const uint8_t> bytes(head);
  const uint32_t size32 = LoadBe32(bytes, 0);
  std::memcpy(out->type, head + 4, 4);
  if (size32 == kSizeInvalid) return Step::kFailed;
  out->head_len = 8;
  out->size = size32;
  if (size32 == 1) {
    n = ReadBytes(walk, head, 8);
    if (n < 0) return Step::kFailed;
    if (n < 8) return Step::kFileEnded;
    out->head_len = 16;
    out->size = LoadBe64(bytes, 0);
  } else if (size32 == 0) {
    out->size = budget < file_left ? budget : file_left;
  }
  if (out->size < out->head_len) return Step::kStopped;
  if (out->size > budget || out->size > file_left) return Step::kStopped;
  return Step::kOk;
}

Mp4Result Finish(Step step) {
  if (step == Step::kFailed) return Mp4Result::kFailed;
  if (step == Step::kStopped) return Mp4Result::kStopped;
  return Mp4Result::kCompleted;
}

// Looks among the children of a parent for the first atom of `type`; on kOk
// the walk stands just after its header. *found is false when the parent ran
// out of children first.
Step FindChild(Walk* walk, uint64_t budget, const char (&type)[5], Header* atom, bool* found) {
  *found = false;
  while (budget != 0) {
    Step step = ReadHeader(walk, budget, atom);
    if (step != Step::kOk) return step;
    if (std::memcmp(atom->type, type, 4) == 0) {
      *found = true;
      return Step::kOk;
    }
    if (!Skip(walk, atom->size - atom->head_len)) return Step::kFailed;
    budget -= atom->size;
  }
  return Step::kOk;
}

// Steps into "meta" and returns the budget of its children. The 8 bytes after
// its header are read ahead: when their second half spells "hdlr", the atom is
// a plain container and they are its first child's header; otherwise the
// first 4 are the version and flags, passed over.
Step EnterMeta(Walk* walk, const Header& meta, uint64_t* budget) {
  const uint64_t body = meta.size - meta.head_len;
  if (body >= 8) {
    int64_t n = TagRead(walk->fd, walk->ahead, 8);
    if (n < 0) return Step::kFailed;
    walk->ahead_len = static_cast<uint32_t>(n);
    walk->ahead_at = 0;
    if (n < 8) return Step::kFileEnded;
    if (std::memcmp(walk->ahead + 4, "hdlr", 4) == 0) {
      *budget = body;
      return Step::kOk;
    }
  }
  *budget = body > 4 ? body - 4 : 0;
  if (*budget == 0) return Step::kOk;
  return Skip(walk, 4) ? Step::kOk : Step::kFailed;
}

// The text items and the field each fills.
struct TextItem {
  char name[4];  // after the leading 0xA9
  size_t capacity;
  uint16_t* TrackTags::*field;
};
constexpr TextItem kTextItems[] = {
    {"nam", kTitleBytes, &TrackTags::Title},
    {"ART", kArtistBytes, &TrackTags::Artist},
    {"alb", kAlbumBytes, &TrackTags::Album},
    {"gen", kGenreBytes, &TrackTags::Genre},
};

const TextItem* FindTextItem(const uint8_t (&type)[4]) {
  if (type[0] != 0xA9) return nullptr;
  for (const TextItem& item : kTextItems) {
    if (std::memcmp(type + 1, item.name, 3) == 0) return &item;
  }
  return nullptr;
}

// Reads one item whose header was just read; items that fill no field, and
// what lies beyond the kept part of a value, are passed over by seeking.
Step ReadItem(Walk* walk, const Header& item, TrackTags* record) {
  const uint64_t payload = item.size - item.head_len;
  const TextItem* text_item = FindTextItem(item.type);
  const bool is_trkn = std::memcmp(item.type, "trkn", 4) == 0;
  const bool wanted =
      (text_item != nullptr && payload >= kValueOffset) || (is_trkn && payload >= kTrknPayload);
  if (!wanted) return Skip(walk, payload) ? Step::kOk : Step::kFailed;

  uint8_t value[kValueOffset + kValueKeep + 4];
  const uint32_t keep = static_cast<uint32_t>(
      payload < kValueOffset + kValueKeep ? payload : kValueOffset + kValueKeep);
  int64_t n = ReadBytes(walk, value, keep);
  if (n < 0) return Step::kFailed;
  // The size was checked against the file, so a short read means the file
  // shrank under us: the item claims more than the file has.
  if (n < keep) return Step::kStopped;
  // Zero bytes after the value end the text and keep a sequence cut at the
  // end from being decoded out of bytes that are not there.
  std::memset(value + keep, 0, 4);
  if (is_trkn) {
    record->TrackNumber = LoadBe16(std::span<const uint8_t>(value), 18);
  } else {
    int32_t units = 0;
    Utf16String text =
        Utf8ToUtf16(reinterpret_cast<const char*>(value + kValueOffset), &units, true);
    if (text) {
      StoreTagText(record->*text_item->field, text_item->capacity, text.get(),
                   static_cast<size_t>(units));
    }
  }
  return Skip(walk, payload - keep) ? Step::kOk : Step::kFailed;
}

Step ReadItems(Walk* walk, uint64_t budget, TrackTags* record) {
  while (budget != 0) {
    Header item;
    Step step = ReadHeader(walk, budget, &item);
    if (step != Step::kOk) return step;
    step = ReadItem(walk, item, record);
    if (step != Step::kOk) return step;
    budget -= item.size;
  }
  return Step::kOk;
}

}  // namespace

Mp4Result ReadMp4Tags(int fd, uint32_t budget, TrackTags* record) {
  const int64_t start = TagSeek(fd, 0, SEEK_CUR);
  if (start < 0) return Mp4Result::kFailed;
  // The budget is the file size, also when the walk starts after an ID3v2
  // tag; the file's end bounds every atom as well.
  Walk walk{fd, static_cast<uint64_t>(start), budget, {}, 0, 0};
  Header atom;
  bool found = false;
  uint64_t level_budget = budget;
  static const char kPath[3][5] = {"moov", "udta", "meta"};
  for (const auto& type : kPath) {
    Step step = FindChild(&walk, level_budget, type, &atom, &found);
    if (step != Step::kOk || !found) return Finish(step);
    level_budget = atom.size - atom.head_len;
  }
  Step step = EnterMeta(&walk, atom, &level_budget);
  if (step != Step::kOk) return Finish(step);
  step = FindChild(&walk, level_budget, "ilst", &atom, &found);
  if (step != Step::kOk || !found) return Finish(step);
  return Finish(ReadItems(&walk, atom.size - atom.head_len, record));
}

}  // namespace qv
