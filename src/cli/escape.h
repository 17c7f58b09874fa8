// Text that came from the drive (file names, tags, mount paths) printed on a
// terminal: control characters are written as escapes, so that a crafted
// name can neither move the cursor nor split a line that tools read one
// record at a time.
#pragma once

#include <string>
#include <string_view>

namespace qv::cli {

// Control characters as \n, \t, \r or \xHH (C1 controls, two UTF-8 bytes,
// as \u00HH), and the backslash as \\ so that every escape reads back
// unambiguously; every byte that is not part of well-formed UTF-8 is written
// as \xHH. Everything else is kept.
std::string EscapeControls(std::string_view text);

}  // namespace qv::cli
