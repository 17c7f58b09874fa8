#include "job/progress_model.h"

#include <gtest/gtest.h>

#include <string>

namespace qv {
namespace {

TimeOfDay At(int32_t seconds, int32_t micro = 0) {
  return TimeOfDay{seconds, micro};
}

ProgressInputs Inputs(int32_t handled, int32_t total, bool scan_ended, bool flush = false,
                      const char* file = nullptr) {
  return ProgressInputs{handled, total, scan_ended, flush, file};
}

class ProgressModelTest : public ::testing::Test {
 protected:
  void SetUp() override { model.Begin(true, At(1000)); }
  std::string Remaining() const { return model.view().remaining; }
  std::string Elapsed() const { return model.view().elapsed; }
  ProgressModel model;
};

TEST_F(ProgressModelTest, StartsWithTheJobStartTexts) {
  EXPECT_STREQ(model.view().message, "Creating..");
  EXPECT_STREQ(model.view().caption, "Processed");
  EXPECT_EQ(Elapsed(), "00:00");
  EXPECT_EQ(Remaining(), "--:--");
  ProgressModel update;
  update.Begin(false, At(5));
  EXPECT_STREQ(update.view().message, "Updating..");
}

TEST_F(ProgressModelTest, KeepsFivePerCentForTheFinishingSteps) {
  model.Refresh(Inputs(500, 1000, true), At(1001));
  EXPECT_EQ(model.view().percent, 47);
  EXPECT_DOUBLE_EQ(model.view().bar_value, 475.0);
  model.Refresh(Inputs(1000, 1000, true), At(1002));
  EXPECT_EQ(model.view().percent, 95);
  model.Finish();
  EXPECT_EQ(model.view().percent, 100);
  EXPECT_DOUBLE_EQ(model.view().bar_value, 1000.0);
}

TEST_F(ProgressModelTest, LeavesBarTitleAndEstimateAloneWhileTheScanRuns) {
  model.Refresh(Inputs(300, 400, false, false, "/d/a.mp3"), At(1003));
  EXPECT_EQ(model.view().percent, 0);
  EXPECT_DOUBLE_EQ(model.view().bar_value, 0.0);
  EXPECT_EQ(Remaining(), "--:--");
  // Counters, file and elapsed time do move.
  EXPECT_EQ(model.view().handled, 300);
  EXPECT_EQ(model.view().total, 400);
  EXPECT_STREQ(model.view().file, "/d/a.mp3");
  EXPECT_EQ(Elapsed(), "00:03");
}

TEST_F(ProgressModelTest, CountsElapsedMinutesPastTwoDigits) {
  model.Refresh(Inputs(0, 0, false), At(1065, 999999));
  EXPECT_EQ(Elapsed(), "01:05");
  model.Refresh(Inputs(0, 0, false), At(1000 + 6000));
  EXPECT_EQ(Elapsed(), "100:00");
  // Within the same second nothing is recomputed.
  model.Refresh(Inputs(0, 0, false), At(7000, 900000));
  EXPECT_EQ(Elapsed(), "100:00");
}

TEST_F(ProgressModelTest, FirstSecondAfterTheScanOnlySetsTheBaseline) {
  model.Refresh(Inputs(250, 1000, true), At(1010));
  EXPECT_EQ(Remaining(), "--:--");
  model.Refresh(Inputs(500, 1000, true), At(1011));
  EXPECT_EQ(Remaining(), "00:02");  // half left at a quarter a second
}

TEST_F(ProgressModelTest, NoBaselineWhileNothingIsHandled) {
  model.Refresh(Inputs(0, 1000, true), At(1010));
  model.Refresh(Inputs(0, 1000, true), At(1011));
  EXPECT_EQ(Remaining(), "--:--");
}

TEST_F(ProgressModelTest, EstimateKeepsItsValueWithoutProgress) {
  model.Refresh(Inputs(250, 1000, true), At(1010));
  model.Refresh(Inputs(500, 1000, true), At(1011));
  // Fifteen still seconds dilute the one gain: 0.25 over 16 samples.
  for (int32_t t = 1012; t <= 1026; ++t) model.Refresh(Inputs(500, 1000, true), At(t));
  EXPECT_EQ(Remaining(), "00:32");
  // Once the ring holds no gain at all, the last estimate stays.
  for (int32_t t = 1027; t <= 1060; ++t) model.Refresh(Inputs(500, 1000, true), At(t));
  EXPECT_EQ(Remaining(), "00:32");
}

TEST_F(ProgressModelTest, SecondsSpentWritingABatchAreNotSampled) {
  model.Refresh(Inputs(250, 1000, true), At(1010));
  model.Refresh(Inputs(250, 1000, true, /*flush=*/true), At(1011));
  model.Refresh(Inputs(500, 1000, true), At(1012));
  // Sampled, the still second would have halved the average gain (04 left).
  EXPECT_EQ(Remaining(), "00:02");
}

TEST_F(ProgressModelTest, AddPassRestartsClockAndEstimate) {
  model.Refresh(Inputs(250, 1000, true), At(1010));
  model.Refresh(Inputs(500, 1000, true), At(1011));
  model.BeginAddPass(At(1100));
  EXPECT_STREQ(model.view().caption, "Added");
  model.Refresh(Inputs(0, 8, true, false, "/d/new.mp3"), At(1101));
  EXPECT_EQ(Elapsed(), "00:01");
  EXPECT_EQ(model.view().total, 8);
  EXPECT_STREQ(model.view().file, "/d/new.mp3");
  // The first add-pass second is a new baseline, not a sample against the
  // main pass.
  model.Refresh(Inputs(2, 8, true), At(1102));
  model.Refresh(Inputs(4, 8, true), At(1103));
  EXPECT_EQ(Remaining(), "00:02");
  model.Finish();
  EXPECT_EQ(model.view().percent, 100);
  EXPECT_DOUBLE_EQ(model.view().bar_value, 8.0);
}

}  // namespace
}  // namespace qv
