// What the commands that read a library share: which library directory a
// drive uses, and how a fault of the files is named.
#pragma once

#include <cstdint>
#include <string>

#include "library/files/library_reader.h"

namespace qv::cli {

// The file-system kind whose library directory the commands read on drive:
// the --fs choice ("fat" or "hfs") when one was given, else the kind of the
// FAT or HFS volume mounted at drive, else FAT.
uint32_t LibraryKindForDrive(const std::string& drive, const std::string& fs_option);

// "QVBL.DB, byte 52: <message>".
std::string DescribeReadFault(const ReadFault& fault);

}  // namespace qv::cli
