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
  EXPECT_EQ(Text(1), "Can only create a Library in the Root Drectory.\nError Code : E-01");
  EXPECT_EQ(Text(2),
            "Cannot open a file.\nSee the processin dialog for the file name.\nSkip the file or "
            "abort creating the library?\nError Code : E-02");
  EXPECT_EQ(Text(3), "Error occurred while creating library data.\nError Code : E-03");
  EXPECT_EQ(Text(4), "Error occurred while writing library file.\nError Code : E-04");
  EXPECT_EQ(Text(5), "Cannot make the library for multiple devices.\nError Code : E-05");
  EXPECT_EQ(Text(6, "STICK"), "[STICK] is not supported device.\nError Code : E-06");
  EXPECT_EQ(Text(7), "Selected device is removed.\nError Code : E-07");
}

TEST(ErrorTexts, DriveNameIsNotReadAsAFormat) {
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
