// The error codes a user sees, 1 to 7, and the informative text of each alert.
#pragma once

#include <cstddef>

namespace qv {

inline constexpr const char* kAlertTitle = "TRN-3600 LIBRARY CREATOR";

inline constexpr int kErrorNotRoot = 1;
inline constexpr int kErrorCannotOpen = 2;
inline constexpr int kErrorCreatingData = 3;
inline constexpr int kErrorWritingFile = 4;
inline constexpr int kErrorMultipleDevices = 5;
inline constexpr int kErrorUnsupportedDevice = 6;
inline constexpr int kErrorDeviceRemoved = 7;

// Fills out with the text of code (code 6 takes path in place of the drive
// name; the path is copied, never read as a format). Returns false and leaves
// out empty for a code outside 1..7.
bool ErrorText(int code, const char* path, char* out, size_t out_size);

}  // namespace qv
