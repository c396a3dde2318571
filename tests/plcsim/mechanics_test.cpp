// Gate, lift, shovel and turn as the component tests drive them, and the operating
// counters they feed.
#include <gtest/gtest.h>

#include "plcsim/model.h"
#include "sim_helpers.h"

using plcsim::PlcModel;
using simtest::Ask;
using simtest::ReadyAt;

namespace {

uint32_t Pair(const PlcModel& plc, int low) {
  return plc.Dm(low + 1) * 65535u + plc.Dm(low);
}

TEST(Gate, OpenAndCloseTakeTheGateTimeAndCountOneCycle) {
  PlcModel plc;
  uint32_t cycles = Pair(plc, 111);
  EXPECT_EQ(Ask(plc, "RD 2", 0), "1");  // closed
  Ask(plc, "ST 1901", 100);
  EXPECT_EQ(Ask(plc, "RD 1915", 150), "0");
  EXPECT_EQ(Ask(plc, "RD 501", 150), "1");  // gate drive on
  int64_t open = ReadyAt(plc, 150);
  EXPECT_GE(open - 100, 500);
  EXPECT_EQ(Ask(plc, "RD 3", open), "1");
  EXPECT_EQ(Ask(plc, "RD 1901", open), "0");
  EXPECT_EQ(Pair(plc, 111), cycles);
  Ask(plc, "ST 1902", open + 100);
  ReadyAt(plc, open + 150);
  EXPECT_EQ(Pair(plc, 111), cycles + 1);
  // Closing a closed gate or ending an access with it shut counts nothing.
  Ask(plc, "ST 1902", 10000);
  Ask(plc, "ST 1903", 10100);
  EXPECT_GT(ReadyAt(plc, 10100), 0);
  EXPECT_EQ(Pair(plc, 111), cycles + 1);
}

TEST(Gate, EndAccessClosesAnOpenGate) {
  PlcModel plc;
  Ask(plc, "ST 1901", 0);
  int64_t t = ReadyAt(plc, 0);
  Ask(plc, "ST 1903", t + 10);
  EXPECT_EQ(Ask(plc, "RD 1903", t + 20), "1");
  t = ReadyAt(plc, t + 20);
  EXPECT_EQ(Ask(plc, "RD 2", t), "1");
  EXPECT_EQ(Ask(plc, "RD 1903", t), "0");
}

TEST(Lift, TravelsWithReadyOffAndHitsItsSwitchOnlyWithTheFault) {
  for (bool fault : {false, true}) {
    PlcModel plc;
    plc.faults.liftHit = fault;
    Ask(plc, "WR DM6 1000", 0);
    EXPECT_EQ(Ask(plc, "RD 1915", 10), "0");
    int64_t t = ReadyAt(plc, 10);
    EXPECT_GT(t, 100);
    Ask(plc, "WR DM6 0", t + 10);
    t = ReadyAt(plc, t + 20);
    EXPECT_EQ(Ask(plc, "RD 15", t), fault ? "1" : "0");
    EXPECT_EQ(plc.Dm(215), fault ? 1 : 0);
    Ask(plc, "ST 1900", t + 10);
    EXPECT_EQ(Ask(plc, "RD 15", t + 20), "0");
  }
}

TEST(Lift, TargetBeyondTheTopIsClampedSoTheTravelStaysShort) {
  PlcModel plc;
  Ask(plc, "WR DM6 65535", 0);
  int64_t t = ReadyAt(plc, 0);
  EXPECT_GT(t, 0);
  EXPECT_LT(t, 5000);
}

struct ArmCase {
  const char* name;
  int relay;
  int homeTimer;  // waited for before the set
  int outTimer;   // waited for before the reset
};

TEST(ShovelAndTurn, TimersReportEachEndOnceTheDriveHasSettled) {
  const ArmCase cases[] = {{"shovel", 1701, 13, 12}, {"turn", 1702, 11, 14}};
  for (const ArmCase& c : cases) {
    PlcModel plc;
    std::string home = "RD T" + std::to_string(c.homeTimer);
    std::string out = "RD T" + std::to_string(c.outTimer);
    std::string relay = std::to_string(c.relay);
    EXPECT_EQ(Ask(plc, home, 0)[0], '1') << c.name;
    EXPECT_EQ(Ask(plc, out, 0)[0], '0') << c.name;
    // Without the service code the drive doesn't move.
    Ask(plc, "ST " + relay, 100);
    EXPECT_EQ(Ask(plc, out, 5000)[0], '0') << c.name;
    EXPECT_EQ(Ask(plc, home, 5000)[0], '1') << c.name;
    EXPECT_EQ(plc.Dm(217), 1) << c.name;
    Ask(plc, "RS " + relay, 5100);
    Ask(plc, "WR DM123 52917", 5200);
    Ask(plc, "ST " + relay, 5300);
    EXPECT_EQ(Ask(plc, home, 5310)[0], '0') << c.name;
    EXPECT_EQ(Ask(plc, out, 5310)[0], '0') << c.name;
    EXPECT_EQ(Ask(plc, out, 6500)[0], '1') << c.name;
    Ask(plc, "RS " + relay, 6600);
    EXPECT_EQ(Ask(plc, out, 6610)[0], '0') << c.name;
    EXPECT_EQ(Ask(plc, home, 6610)[0], '0') << c.name;
    EXPECT_EQ(Ask(plc, home, 7800)[0], '1') << c.name;
  }
}

TEST(Counters, TimeIsBookedEachMinuteAndHoursFollowThePoweredTime) {
  plcsim::SimConfig config;
  config.poweredSeconds = 5 * 3600 - 30;
  config.onSeconds = 100;
  PlcModel plc(config);
  EXPECT_EQ(plc.Dm(110), 4);
  Ask(plc, "ST 1801", 0);
  Ask(plc, "WR DM0 9", 10);  // about 1.5 s in motion
  EXPECT_EQ(Ask(plc, "RD DM119", 59000), std::to_string(config.poweredSeconds));
  plc.Advance(simtest::Ms(60000));
  EXPECT_EQ(Pair(plc, 119), config.poweredSeconds + 60);
  EXPECT_EQ(plc.Dm(110), 5);
  EXPECT_EQ(Pair(plc, 117), 101u);
}

TEST(Counters, PairsCarryAtTheHighWordsWeightOf65535) {
  plcsim::SimConfig config;
  config.gateCycles = 65534;
  PlcModel plc(config);
  Ask(plc, "ST 1901", 0);
  Ask(plc, "ST 1902", 10);
  ReadyAt(plc, 20);
  EXPECT_EQ(plc.Dm(111), 0);
  EXPECT_EQ(plc.Dm(112), 1);
}

}  // namespace
