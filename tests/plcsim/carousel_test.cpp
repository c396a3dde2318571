// The carousel as the screens see it: DM0 turns it, DM1 follows, Ready and T20 report
// the end of the turn.
#include <gtest/gtest.h>

#include "plcsim/model.h"
#include "sim_helpers.h"

using plcsim::PlcModel;
using simtest::Ask;
using simtest::PositionsUntilReady;
using simtest::ReadyAt;

namespace {

PlcModel Activated() {
  PlcModel plc;
  EXPECT_EQ(Ask(plc, "ST 1801", 0), "OK");
  return plc;
}

TEST(Carousel, TurnTakesLongerWithEveryStepAndStaysInARealisticRange) {
  int64_t previous = 0;
  for (int steps = 0; steps <= 8; ++steps) {
    PlcModel plc = Activated();
    ASSERT_EQ(Ask(plc, "WR DM0 " + std::to_string(1 + steps), 100), "OK");
    EXPECT_EQ(Ask(plc, "RD 1915", 101), "0") << steps;
    EXPECT_EQ(Ask(plc, "RD T20", 101).substr(0, 1), "0") << steps;
    int64_t took = ReadyAt(plc, 101) - 100;
    EXPECT_GE(took, 100) << steps;
    EXPECT_LE(took, 2000) << steps;
    if (steps > 0) {
      EXPECT_GT(took, previous) << steps;
    }
    previous = took;
    EXPECT_EQ(plc.Dm(1), 1 + steps);
    EXPECT_EQ(Ask(plc, "RD T20", 100 + took), "1,00000,00000");
  }
}

TEST(Carousel, DmOneStepsForwardThroughEveryPositionAndWraps) {
  PlcModel plc = Activated();
  Ask(plc, "WR DM0 7", 10);
  ReadyAt(plc, 10);
  Ask(plc, "WR DM0 2", 5000);
  EXPECT_EQ(PositionsUntilReady(plc, 5000), (std::vector<int>{7, 8, 9, 1, 2}));
  EXPECT_EQ(Ask(plc, "RD DM1", 9000), "2");
}

TEST(Carousel, TurnShowsOnTheDriveOutputsAndStatusWhileItLasts) {
  PlcModel plc = Activated();
  Ask(plc, "WR DM0 5", 10);
  EXPECT_EQ(Ask(plc, "RD 500", 400), "1");  // Rot.EN
  EXPECT_NE(Ask(plc, "RD DM2", 400), "0");  // drive speed
  EXPECT_EQ(Ask(plc, "RD DM200", 400), "1");
  ReadyAt(plc, 400);
  EXPECT_EQ(Ask(plc, "RD 500", 3000), "0");
  EXPECT_EQ(Ask(plc, "RD DM2", 3000), "0");
  EXPECT_EQ(Ask(plc, "RD DM200", 3000), "0");
}

TEST(Carousel, TargetBeforeActivationIsOnlyStored) {
  PlcModel plc;
  EXPECT_EQ(Ask(plc, "WR DM0 4", 0), "OK");
  EXPECT_EQ(Ask(plc, "RD 1915", 100), "1");
  EXPECT_EQ(Ask(plc, "RD DM1", 3000), "1");
  EXPECT_EQ(Ask(plc, "RD DM0", 3000), "4");
  Ask(plc, "ST 1801", 3100);
  EXPECT_EQ(Ask(plc, "RD DM1", 6000), "1");  // activation alone turns nothing
  Ask(plc, "WR DM0 4", 6100);
  EXPECT_EQ(PositionsUntilReady(plc, 6100), (std::vector<int>{1, 2, 3, 4}));
}

TEST(Carousel, TargetOfTheCurrentPositionStillTakesTheStartTime) {
  PlcModel plc = Activated();
  Ask(plc, "WR DM0 1", 100);
  EXPECT_EQ(Ask(plc, "RD T20", 150).substr(0, 1), "0");
  int64_t ready = ReadyAt(plc, 150);
  EXPECT_GE(ready - 100, 100);
  EXPECT_EQ(plc.Dm(1), 1);
  EXPECT_TRUE(plc.TimerDone(20));
}

TEST(Carousel, TargetsOutsideTheCarouselTurnNothing) {
  PlcModel plc = Activated();
  for (const char* request : {"WR DM0 0", "WR DM0 10", "WR DM0 65535"}) {
    EXPECT_EQ(Ask(plc, request, 100), "OK") << request;
    EXPECT_EQ(Ask(plc, "RD 1915", 110), "1") << request;
  }
}

TEST(Carousel, NewTargetWhileTurningTurnsOnFromWhereItIs) {
  PlcModel plc = Activated();
  Ask(plc, "WR DM0 9", 0);
  plc.Advance(simtest::Ms(700));
  int reached = plc.Dm(1);
  ASSERT_GT(reached, 1);
  ASSERT_LT(reached, 9);
  Ask(plc, "WR DM0 3", 700);
  std::vector<int> seen = PositionsUntilReady(plc, 700);
  EXPECT_EQ(seen.front(), reached);
  EXPECT_EQ(seen.back(), 3);
  EXPECT_EQ(seen[seen.size() - 2], 2);  // wrapped forward through 1 and 2
}

TEST(Carousel, WrongPositionFaultReportsOneOnTheWayButArrives) {
  PlcModel plc = Activated();
  plc.faults.wrongPosition = true;
  Ask(plc, "WR DM0 3", 0);
  ReadyAt(plc, 0);
  Ask(plc, "WR DM0 6", 5000);
  EXPECT_EQ(PositionsUntilReady(plc, 5000), (std::vector<int>{3, 1, 5, 6}));
  EXPECT_EQ(plc.Dm(214), 2);  // both turns counted as position errors
  // A turn from the last position passes 1 normally and isn't disturbed.
  Ask(plc, "WR DM0 9", 9000);
  ReadyAt(plc, 9000);
  Ask(plc, "WR DM0 2", 12000);
  EXPECT_EQ(PositionsUntilReady(plc, 12000), (std::vector<int>{9, 1, 2}));
}

TEST(Carousel, WrongPositionReadingLastsLongEnoughForATrackingLoopToSeeIt) {
  PlcModel plc = Activated();
  plc.faults.wrongPosition = true;
  Ask(plc, "WR DM0 5", 0);
  int64_t readsOne = 0;
  for (int64_t t = 0; t < 5000; t += 10) {
    plc.Advance(simtest::Ms(t));
    if (plc.Dm(1) == 1) readsOne += 10;
  }
  // The tracking loop polls about every 0.3 s.
  EXPECT_GE(readsOne, 400);
}

TEST(Carousel, ReadyStuckFaultKeepsReadyOffWhileTheCarouselStillTurns) {
  PlcModel plc = Activated();
  plc.faults.readyStuck = true;
  Ask(plc, "WR DM0 3", 0);
  EXPECT_EQ(Ask(plc, "RD 1915", 5000), "0");
  EXPECT_EQ(Ask(plc, "RD DM1", 5000), "3");
  EXPECT_EQ(Ask(plc, "RD T20", 5000).substr(0, 1), "1");
}

}  // namespace
