#include "support/riff_writer.h"

#include <span>

#include "platform/byte_order.h"

namespace qv::test {
namespace {

Bytes Le32(uint32_t v) {
  Bytes b(4);
  StoreLe32(std::span<uint8_t>(b), 0, v);
  return b;
}

Bytes Id(std::string_view id) {
  Bytes b(4, ' ');
  for (size_t i = 0; i < 4 && i < id.size(); ++i) b[i] = static_cast<uint8_t>(id[i]);
  return b;
}

}  // namespace

Bytes RiffChunkClaiming(std::string_view id, uint32_t size, const Bytes& body) {
  return JoinBytes({Id(id), Le32(size), body});
}

Bytes RiffChunk(std::string_view id, const Bytes& body) {
  Bytes out = RiffChunkClaiming(id, static_cast<uint32_t>(body.size()), body);
  if (body.size() % 2 == 1) out.push_back(0);
  return out;
}

Bytes RiffFile(std::string_view form, const Bytes& chunks) {
  return JoinBytes({Id("RIFF"), Le32(static_cast<uint32_t>(4 + chunks.size())), Id(form), chunks});
}

Bytes RiffFmt() {
  Bytes body(16, 0);
  std::span<uint8_t> b(body);
  StoreLe16(b, 0, 1);      // PCM
  StoreLe16(b, 2, 1);      // channels
  StoreLe32(b, 4, 8000);   // sample rate
  StoreLe32(b, 8, 16000);  // bytes per second
  StoreLe16(b, 12, 2);     // block align
  StoreLe16(b, 14, 16);    // bits per sample
  return RiffChunk("fmt ", body);
}

Bytes RiffData(uint32_t length) {
  Bytes body(length);
  for (uint32_t i = 0; i < length; ++i) body[i] = static_cast<uint8_t>(i * 13 + 5);
  return RiffChunk("data", body);
}

Bytes RiffText(std::string_view id, std::string_view text) {
  Bytes body(text.begin(), text.end());
  body.push_back(0);
  return RiffChunk(id, body);
}

Bytes RiffList(const Bytes& sub_chunks, std::string_view list_type) {
  return RiffChunk("LIST", JoinBytes({Id(list_type), sub_chunks}));
}

Bytes WaveFileWithInfo(const Bytes& sub_chunks, uint32_t data_length) {
  return RiffFile("WAVE", JoinBytes({RiffFmt(), RiffData(data_length), RiffList(sub_chunks)}));
}

}  // namespace qv::test
