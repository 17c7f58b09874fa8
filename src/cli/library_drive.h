// What the commands that read a library share: which library directory a
// drive uses, and how a fault of the files is named.
#pragma once

#include <cstdint>
#include <string>

#include "library/files/library_reader.h"

namespace qv::cli {

// The file-system kind whose library directory the commands read on drive.
// fs_option is the --fs choice ("fat" or "hfs"), used when the folder is not
// a mounted FAT or HFS volume.
uint32_t LibraryKindForDrive(const std::string& drive, const std::string& fs_option);

// "QVBL.DB, byte 52: <message>".
std::string DescribeReadFault(const ReadFault& fault);

}  // namespace qv::cli
