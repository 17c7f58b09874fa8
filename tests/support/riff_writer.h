// Builds RIFF files (WAVE and RMP3) as byte vectors: chunks with pad bytes,
// lying sizes and LIST INFO texts. Free of any test framework so benchmarks
// and fuzzers can use it too.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "support/mp4_writer.h"

namespace qv::test {

// A chunk: ID, little-endian size of the body, body, and a zero pad byte when
// the size is odd.
Bytes RiffChunk(std::string_view id, const Bytes& body);
// A chunk whose size field says `size`; no pad byte is added.
Bytes RiffChunkClaiming(std::string_view id, uint32_t size, const Bytes& body);
// "RIFF", the size of what follows, the form type ("WAVE", "RMP3") and the
// chunks.
Bytes RiffFile(std::string_view form, const Bytes& chunks);

// A 16-byte PCM "fmt " chunk: mono, 8000 Hz, 16 bits.
Bytes RiffFmt();
// A "data" chunk of `length` bytes of filler (padded when odd).
Bytes RiffData(uint32_t length);
// A text sub-chunk: the bytes and a terminating zero byte.
Bytes RiffText(std::string_view id, std::string_view text);
// "LIST", the list type (normally "INFO") and the sub-chunks.
Bytes RiffList(const Bytes& sub_chunks, std::string_view list_type = "INFO");

// RIFF WAVE with fmt, data of `data_length` bytes and a LIST INFO of the
// sub-chunks.
Bytes WaveFileWithInfo(const Bytes& sub_chunks, uint32_t data_length = 100);

}  // namespace qv::test
