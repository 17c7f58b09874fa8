// What the commands that read a library share: which library directory a
// drive uses, and how a fault of the files is named.
#pragma once

#include <cstdint>
#include <string>

#include "job/drive_check.h"
#include "library/files/library_reader.h"

namespace qv::cli {

// The file-system kind whose library directory the commands read on drive:
// the --fs choice ("fat" or "hfs") when one was given, else the kind of the
// FAT or HFS volume mounted at drive, else FAT.
uint32_t LibraryKindForDrive(const std::string& drive, const std::string& fs_option);

// Why a drive can or cannot take a library: "library present", "no library"
// or "not usable: read-only" and the like.
const char* DriveCheckReason(const DriveCheckResult& r);

// "QVBL.DB, byte 52: <message>".
std::string DescribeReadFault(const ReadFault& fault);

}  // namespace qv::cli
