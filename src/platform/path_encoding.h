// The encoding in which the file system hands out path names. Linux gives the
// bytes as stored (a FAT long name maps one to one), so paths are plain UTF-8
// with no normalisation; a port to a file system that decomposes characters
// names its own iconv encoding here.
#pragma once

namespace qv {

inline constexpr const char* kPathEncoding = "UTF-8";

}  // namespace qv
