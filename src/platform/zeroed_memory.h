// Large zero-filled blocks taken from the kernel and given back to it whole.
// A page costs nothing until it is first touched, so a job that uses a
// small part of a large reservation pays only for that part, and no block
// needs clearing after it is reserved.
#pragma once

#include <cstddef>

namespace qv {

// A block of `bytes` zero bytes aligned to 64 bytes, or nullptr. A write
// past the end of its last 64-byte unit faults.
void* ReserveZeroed(size_t bytes);
// Gives back a block of ReserveZeroed with the same size; nullptr is ignored.
void ReleaseZeroed(void* block, size_t bytes);

}  // namespace qv
