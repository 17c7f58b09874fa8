#include "support/riff_writer.h"

#include "support/id3_writer.h"

namespace qv::test {
namespace {

Bytes Id(std::string_view id) { return RawBytes(id.substr(0, 4)); }

}  // namespace

// clang-format off
Bytes RiffChunkClaiming(std::string_view id, uint32_t size, const Bytes& body) {
  return JoinBytes({Id(id), {uint8_t(size), uint8_t(size >> 8), uint8_t(size >> 16), uint8_t(size >> 24)}, body});
}

Bytes RiffChunk(std::string_view id, const Bytes& body) {
  return JoinBytes({RiffChunkClaiming(id, static_cast<uint32_t>(body.size()), body), Bytes(body.size() % 2, 0)});
}

Bytes RiffFile(std::string_view form, const Bytes& chunks) {
  return JoinBytes({RiffChunkClaiming("RIFF", static_cast<uint32_t>(4 + chunks.size()), Id(form)), chunks});
}

// PCM, mono, 8000 Hz, 16000 bytes a second, 2-byte blocks of 16 bits.
Bytes RiffFmt() { return RiffChunk("fmt ", {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0}); }

Bytes RiffData(uint32_t length) {
  Bytes body(length);
  for (uint32_t i = 0; i < length; ++i) body[i] = static_cast<uint8_t>(i * 13 + 5);
  return RiffChunk("data", body);
}

Bytes RiffText(std::string_view id, std::string_view text) { return RiffChunk(id, JoinBytes({RawBytes(text), {0}})); }
Bytes RiffList(const Bytes& sub_chunks) { return RiffChunk("LIST", JoinBytes({Id("INFO"), sub_chunks})); }
Bytes WaveFileWithInfo(const Bytes& sub) { return RiffFile("WAVE", JoinBytes({RiffFmt(), RiffData(100), RiffList(sub)})); }
// clang-format on

}  // namespace qv::test
