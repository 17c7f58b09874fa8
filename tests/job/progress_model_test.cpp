#include "job/progress_model.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

class ProgressModelTest : public ::testing::Test {
 protected:
  void SetUp() override { model.Begin(true, TimeOfDay{1000, 0}); }
  // One refresh at a whole second, after the scan unless told.
  void Tick(int32_t handled, int32_t total, int32_t second, bool scan_ended = true,
            bool flush = false, const char* file = nullptr) {
    model.Refresh(ProgressInputs{handled, total, scan_ended, flush, file}, TimeOfDay{second, 0});
  }
  std::string Remaining() const { return model.view().remaining; }
  std::string Elapsed() const { return model.view().elapsed; }
  ProgressModel model;
};

// Keeps five per cent for the finishing steps; bar, title and estimate wait
// for the end of the scan, while counters, file and elapsed time move.
TEST_F(ProgressModelTest, BarFollowsTheFilesOnceTheScanHasEnded) {
  EXPECT_STREQ(model.view().message, "Creating..");
  EXPECT_EQ(std::tuple(Elapsed(), Remaining()), std::tuple("00:00", "--:--"));
  Tick(300, 400, 1003, false, false, "/d/a.mp3");
  EXPECT_EQ(std::tuple(model.view().percent, model.view().handled), std::tuple(0, 300));
  EXPECT_EQ(std::tuple(std::string(model.view().file), Elapsed(), Remaining()), std::tuple("/d/a.mp3", "00:03", "--:--"));
  Tick(0, 0, 1004); EXPECT_EQ(model.view().percent, 0);
  Tick(500, 1000, 1005);
  EXPECT_EQ(std::tuple(model.view().percent, model.view().bar_value), std::tuple(47, 475.0));
  model.Finish();
  EXPECT_EQ(std::tuple(model.view().percent, model.view().bar_value), std::tuple(100, 1000.0));
}

TEST_F(ProgressModelTest, CountsElapsedMinutesPastTwoDigits) {
  model.Refresh(ProgressInputs{0, 0, false, false, nullptr}, TimeOfDay{1065, 999999});
  EXPECT_EQ(Elapsed(), "01:05");
  Tick(0, 0, 7000, false); EXPECT_EQ(Elapsed(), "100:00");
}

// The first second after the scan only sets the baseline; a still second
// dilutes the average gain, a second spent writing a batch is not sampled,
// and with no gain left in the ring the last estimate stays.
TEST_F(ProgressModelTest, EstimateFromTheAverageGain) {
  Tick(0, 1000, 1010), Tick(250, 1000, 1011);  // no baseline while nothing is handled
  EXPECT_EQ(Remaining(), "--:--");
  Tick(250, 1000, 1012, true, /*flush=*/true), Tick(500, 1000, 1013);
  EXPECT_EQ(Remaining(), "00:02");  // half left at a quarter a second
  for (int32_t t = 1014; t <= 1028; ++t) Tick(500, 1000, t);
  EXPECT_EQ(Remaining(), "00:32");  // 0.25 over 16 samples
  for (int32_t t = 1029; t <= 1060; ++t) Tick(500, 1000, t);
  EXPECT_EQ(Remaining(), "00:32");
}

// While an answer is awaited the time left is unknown, and the wait is no sample.
TEST_F(ProgressModelTest, WaitForAnAnswerIsNoSample) {
  Tick(250, 1000, 1010), Tick(500, 1000, 1011);
  for (int32_t t = 1012; t <= 1040; ++t)
    model.Refresh(ProgressInputs{500, 1000, true, false, nullptr, true}, TimeOfDay{t, 0});
  EXPECT_EQ(Remaining(), "--:--");
  Tick(500, 1000, 1041), Tick(750, 1000, 1042), Tick(900, 1000, 1050), Tick(950, 1000, 1051);
  EXPECT_EQ(Remaining(), "00:00");  // 0.05 left at 0.25 and then 0.05 a second
}

TEST_F(ProgressModelTest, AddPassRestartsClockAndEstimate) {
  Tick(250, 1000, 1010), Tick(500, 1000, 1011), model.BeginAddPass(TimeOfDay{1100, 0});
  EXPECT_STREQ(model.view().caption, "Added");
  Tick(0, 8, 1101); EXPECT_EQ(Elapsed(), "00:01");
  Tick(2, 8, 1102), Tick(4, 8, 1103);  // a new baseline, not a sample against the main pass
  EXPECT_EQ(Remaining(), "00:02");
  model.Finish();
  EXPECT_DOUBLE_EQ(model.view().bar_value, 8.0);
}

}  // namespace
}  // namespace qv
