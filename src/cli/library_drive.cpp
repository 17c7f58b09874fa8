#include "cli/library_drive.h"

#include "library/files/library_files.h"

namespace qv::cli {

uint32_t LibraryKindForDrive(const std::string& /*drive*/, const std::string& fs_option) {
  return fs_option == "hfs" ? kFileSystemHfs : kFileSystemFat;
}

std::string DescribeReadFault(const ReadFault& fault) {
  return std::string(fault.file) + ", byte " + std::to_string(fault.offset) + ": " + fault.message;
}

}  // namespace qv::cli
