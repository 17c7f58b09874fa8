#include "job/error_codes.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

std::string Text(int code, const char* path = "") {
  char out[1600];
  EXPECT_TRUE(ErrorText(code, path, out, sizeof out));
  return out;
}

TEST(ErrorTexts, EveryCodeWithItsTwoDigitNumber) {
  const char* const texts[] = {
      "Can only create a Library in the Root Drectory.",
      "Cannot open a file.\nSee the processin dialog for the file name.\nSkip the file or abort "
      "creating the library?",
      "Error occurred while creating library data.",
      "Error occurred while writing library file.",
      "Cannot make the library for multiple devices.",
      "[STICK] is not supported device.",
      "Selected device is removed."};
  for (int code = 1; code <= 7; ++code) {
    EXPECT_EQ(Text(code, "STICK"), texts[code - 1] + std::string("\nError Code : E-0") +
                                       std::to_string(code));
  }
  // The drive name is not read as a format.
  EXPECT_EQ(Text(6, "100% %s %d%n"), "[100% %s %d%n] is not supported device.\nError Code : E-06");
}

TEST(ErrorTexts, CodesOutsideTheTableShowNothing) {
  char out[64] = "x";
  EXPECT_FALSE(ErrorText(0, "", out, sizeof out));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(ErrorText(8, "", out, sizeof out));
}

}  // namespace
}  // namespace qv
