// RIFF files (WAVE and RMP3): padded chunks, lying sizes and LIST INFO texts.
#pragma once

#include "support/mp4_writer.h"

namespace qv::test {

// ID, little-endian size, body and a zero pad byte when the size is odd.
Bytes RiffChunk(std::string_view id, const Bytes& body);
Bytes RiffChunkClaiming(std::string_view id, uint32_t size, const Bytes& body);  // no pad
Bytes RiffFile(std::string_view form, const Bytes& chunks);
Bytes RiffFmt();  // 16-byte PCM
Bytes RiffData(uint32_t length);
Bytes RiffText(std::string_view id, std::string_view text);  // zero-terminated
Bytes RiffList(const Bytes& sub_chunks);                     // LIST of INFO
// WAVE with fmt, data and a LIST INFO of the sub-chunks.
Bytes WaveFileWithInfo(const Bytes& sub_chunks);

}  // namespace qv::test
