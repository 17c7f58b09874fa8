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

// Starts with the job's texts; keeps five per cent for the finishing steps.
TEST_F(ProgressModelTest, StartsEmptyAndEndsFull) {
  EXPECT_STREQ(model.view().message, "Creating..");
  EXPECT_STREQ(model.view().caption, "Processed");
  EXPECT_EQ(Elapsed() + Remaining(), "00:00--:--");
  Tick(500, 1000, 1001);
  EXPECT_EQ(model.view().percent, 47);
  EXPECT_DOUBLE_EQ(model.view().bar_value, 475.0);
  Tick(1000, 1000, 1002);
  EXPECT_EQ(model.view().percent, 95);
  model.Finish();
  EXPECT_EQ(model.view().percent, 100);
  EXPECT_DOUBLE_EQ(model.view().bar_value, 1000.0);
  ProgressModel update;
  update.Begin(false, TimeOfDay{5, 0});
  EXPECT_STREQ(update.view().message, "Updating..");
}

TEST_F(ProgressModelTest, LeavesBarTitleAndEstimateAloneWhileTheScanRuns) {
  Tick(300, 400, 1003, false, false, "/d/a.mp3");
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
  model.Refresh(ProgressInputs{0, 0, false, false, nullptr}, TimeOfDay{1065, 999999});
  EXPECT_EQ(Elapsed(), "01:05");
  Tick(0, 0, 7000, false);
  EXPECT_EQ(Elapsed(), "100:00");
  // Within the same second nothing is recomputed.
  model.Refresh(ProgressInputs{0, 0, false, false, nullptr}, TimeOfDay{7000, 900000});
  EXPECT_EQ(Elapsed(), "100:00");
}

TEST_F(ProgressModelTest, FirstSecondAfterTheScanOnlySetsTheBaseline) {
  Tick(0, 1000, 1010);  // no baseline while nothing is handled
  Tick(0, 1000, 1011);
  EXPECT_EQ(Remaining(), "--:--");
  Tick(250, 1000, 1012);
  EXPECT_EQ(Remaining(), "--:--");
  Tick(500, 1000, 1013);
  EXPECT_EQ(Remaining(), "00:02");  // half left at a quarter a second
}

TEST_F(ProgressModelTest, EstimateKeepsItsValueWithoutProgress) {
  Tick(250, 1000, 1010);
  Tick(500, 1000, 1011);
  // Fifteen still seconds dilute the one gain: 0.25 over 16 samples.
  for (int32_t t = 1012; t <= 1026; ++t) Tick(500, 1000, t);
  EXPECT_EQ(Remaining(), "00:32");
  // Once the ring holds no gain at all, the last estimate stays.
  for (int32_t t = 1027; t <= 1060; ++t) Tick(500, 1000, t);
  EXPECT_EQ(Remaining(), "00:32");
}

TEST_F(ProgressModelTest, SecondsSpentWritingABatchAreNotSampled) {
  Tick(250, 1000, 1010);
  Tick(250, 1000, 1011, true, /*flush=*/true);
  Tick(500, 1000, 1012);
  // Sampled, the still second would have halved the average gain (04 left).
  EXPECT_EQ(Remaining(), "00:02");
}

TEST_F(ProgressModelTest, AddPassRestartsClockAndEstimate) {
  Tick(250, 1000, 1010);
  Tick(500, 1000, 1011);
  model.BeginAddPass(TimeOfDay{1100, 0});
  EXPECT_STREQ(model.view().caption, "Added");
  Tick(0, 8, 1101, true, false, "/d/new.mp3");
  EXPECT_EQ(Elapsed(), "00:01");
  EXPECT_EQ(model.view().total, 8);
  EXPECT_STREQ(model.view().file, "/d/new.mp3");
  // The first add-pass second is a new baseline, not a sample against the
  // main pass.
  Tick(2, 8, 1102);
  Tick(4, 8, 1103);
  EXPECT_EQ(Remaining(), "00:02");
  model.Finish();
  EXPECT_EQ(model.view().percent, 100);
  EXPECT_DOUBLE_EQ(model.view().bar_value, 8.0);
}

}  // namespace
}  // namespace qv
