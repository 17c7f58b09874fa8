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

// For programs that run many jobs in one process (the fuzz harnesses): while
// set, a block given back stays mapped, its pages returned to the kernel so
// that they read as zero again, and the next reservation of the same size
// takes it. Set before any job runs.
void KeepReleasedBlocks(bool keep);

}  // namespace qv
