#include "job/error_codes.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

TEST(ErrorTexts, EveryCodeWithItsTwoDigitNumberAndNothingOutside) {
  const char* const texts[] = {
      "Can only create a Library in the Root Drectory.",
      "Cannot open a file.\nSee the processin dialog for the file name.\nSkip the file or abort "
      "creating the library?",
      "Error occurred while creating library data.", "Error occurred while writing library file.",
      "Cannot make the library for multiple devices.", "[%s] is not supported device.",
      "Selected device is removed."};
  char out[1600];
  for (int code = 1; code <= 7; ++code) {
    ASSERT_TRUE(ErrorText(code, "100% %s %d%n", out, sizeof out));  // not read as a format
    std::string text = texts[code - 1];
    if (code == 6) text.replace(1, 2, "100% %s %d%n");
    EXPECT_EQ(out, text + "\nError Code : E-0" + std::to_string(code));
  }
  for (int code : {0, 8}) EXPECT_EQ((std::tuple{ErrorText(code, "", out, sizeof out), out[0]}), std::tuple(false, '\0')) << code;
}

}  // namespace
}  // namespace qv
