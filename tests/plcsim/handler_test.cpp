// Handler moves and the plates they carry: every plate stays accounted for, and a move
// that can't be done stops the device until System Reset.
#include <gtest/gtest.h>

#include "plcsim/model.h"
#include "sim_helpers.h"

using plcsim::PlcModel;
using simtest::Ask;
using simtest::Ms;
using simtest::ReadyAt;
using simtest::RunMove;
using Places = std::vector<std::string>;

namespace {

TEST(Handler, FourKindsOfMoveCarryOnePlateRoundTheStore) {
  PlcModel plc;
  Ask(plc, "ST 1801", 0);
  int64_t t = RunMove(plc, 1905, 1, 1, 100);  // unload to the transfer station
  ASSERT_GT(t, 0);
  EXPECT_EQ(plc.Plates().Occupied(), Places{"station"});
  t = RunMove(plc, 1904, 3, 5, t + 100);  // load into 3.5: the carousel turns there first
  ASSERT_GT(t, 0);
  EXPECT_EQ(plc.Dm(1), 3);
  EXPECT_EQ(plc.Plates().Occupied(), Places{"3.5"});
  t = RunMove(plc, 1908, 3, 5, t + 100);  // pick onto the handler
  EXPECT_EQ(plc.Plates().Occupied(), Places{"handler"});
  EXPECT_EQ(Ask(plc, "RD 10", t), "1");    // plate on the shovel
  t = RunMove(plc, 1909, 9, 10, t + 100);  // place into the top of the last position
  ASSERT_GT(t, 0);
  EXPECT_EQ(plc.Plates().Occupied(), Places{"9.10"});
  EXPECT_EQ(plc.Plates().Count(), 1);
  EXPECT_EQ(plc.Dm(121), 4);  // accesses
  EXPECT_FALSE(plc.ErrorStands());
  EXPECT_EQ(plc.Dm(211) + plc.Dm(212) + plc.Dm(213), 0);
}

TEST(Handler, PlateReadyComesBeforeReadyAndDropsWhenTheNextMoveStarts) {
  PlcModel plc;
  Ask(plc, "WR DM0 1", 0);
  Ask(plc, "WR DM5 1", 10);
  Ask(plc, "ST 1905", 20);
  EXPECT_EQ(Ask(plc, "RD 1905", 30), "1");
  EXPECT_EQ(Ask(plc, "RD 1915", 30), "0");
  int64_t plateReady = -1;
  for (int64_t ms = 30; ms < 20000 && plateReady < 0; ms += 10)
    if (Ask(plc, "RD 1815", ms) == "1") plateReady = ms;
  ASSERT_GT(plateReady, 30);
  EXPECT_EQ(Ask(plc, "RD 1915", plateReady), "0");  // the handler is still on its way home
  int64_t ready = ReadyAt(plc, plateReady);
  EXPECT_GT(ready, plateReady);
  EXPECT_EQ(Ask(plc, "RD 1905", ready), "0");  // the move relay dropped by itself
  EXPECT_EQ(Ask(plc, "RD 1815", ready), "1");
  EXPECT_NE(Ask(plc, "RD DM350", ready), "0");
  Ask(plc, "ST 1904", ready + 100);
  EXPECT_EQ(Ask(plc, "RD 1815", ready + 110), "0");
}

TEST(Handler, MoveSetWhileTheCarouselTurnsWaitsForItThenRuns) {
  PlcModel plc;
  Ask(plc, "ST 1801", 0);
  Ask(plc, "WR DM0 6", 100);  // turning from 1 to 6
  Ask(plc, "WR DM5 2", 155);
  Ask(plc, "ST 1908", 210);
  plc.Plates().Put(plcsim::Place::At(6, 2), true);
  EXPECT_EQ(Ask(plc, "RD 1908", 265), "1");
  EXPECT_GT(ReadyAt(plc, 265), 0);
  EXPECT_EQ(plc.Plates().Occupied(), (Places{"1.1", "handler"}));
}

struct RefusedMove {
  const char* what;
  int relay, position, level;
  int counter;  // the error counter it raises
};

TEST(Handler, ImpossibleMoveRaisesErrorKeepsPlatesAndWaitsForSystemReset) {
  const RefusedMove cases[] = {
      {"pick from an empty slot", 1908, 2, 2, 211},
      {"place with nothing on the handler", 1909, 2, 2, 211},
      {"load from an empty station", 1904, 2, 2, 211},
      {"unload onto a full station", 1905, 1, 1, 212},
      {"place onto a full slot", 1909, 1, 1, 212},
      {"level above the stack", 1908, 1, 11, 213},
      {"position 0", 1908, 0, 1, 213},
  };
  for (const RefusedMove& c : cases) {
    PlcModel plc;
    plc.Plates().Put(plcsim::Place::At(5, 5), true);
    if (c.relay == 1909) plc.Plates().Put(plcsim::Place::Handler(), c.position == 1);
    if (c.relay == 1905) plc.Plates().Put(plcsim::Place::Station(), true);
    Places before = plc.Plates().Occupied();
    EXPECT_EQ(RunMove(plc, c.relay, c.position, c.level, 0), -1) << c.what;
    EXPECT_EQ(Ask(plc, "RD 1814", 40000), "1") << c.what;
    EXPECT_EQ(Ask(plc, "RD " + std::to_string(c.relay), 40000), "0") << c.what;
    EXPECT_EQ(plc.Dm(c.counter), 1) << c.what;
    EXPECT_EQ(plc.Plates().Occupied(), before) << c.what;
    EXPECT_GE(plc.Dm(200), 0x8000) << c.what;

    // While the error stands every further move is refused and counted.
    Ask(plc, "WR DM0 5", 40100);
    Ask(plc, "WR DM5 5", 40200);
    Ask(plc, "ST 1908", 40300);
    EXPECT_EQ(Ask(plc, "RD 1908", 40400), "0") << c.what;
    EXPECT_EQ(plc.Dm(218), 1) << c.what;
    EXPECT_EQ(plc.Plates().Occupied(), before) << c.what;

    Ask(plc, "ST 1900", 41000);
    EXPECT_EQ(Ask(plc, "RD 1814", 41010), "0") << c.what;
    EXPECT_GT(ReadyAt(plc, 41010), 0) << c.what;
    EXPECT_EQ(Ask(plc, "RD 1900", 43000), "0") << c.what;
    int again = plc.Plates().Holds(plcsim::Place::Station()) ? 1908 : 1905;
    EXPECT_GT(RunMove(plc, again, 5, 5, 43000), 0) << c.what;  // moves work again
    EXPECT_EQ(plc.Plates().Count(), static_cast<int>(before.size())) << c.what;
  }
}

TEST(Handler, ThreePlateCycleLosesNoPlate) {
  // Walk a block of three plates up position 1 and over to position 2, through the
  // transfer station as the store without the direct route does.
  plcsim::SimConfig config;
  config.levels = 5;
  config.plates = {{1, 1}, {1, 2}, {1, 3}};
  PlcModel plc(config);
  struct Move {
    int position, level, relay;
  } moves[] = {{1, 2, 1908}, {1, 4, 1909}, {1, 1, 1908}, {1, 2, 1909},  // i = 1
               {1, 3, 1908}, {1, 5, 1909}, {1, 2, 1908}, {1, 3, 1909},  // i = 2
               {1, 4, 1905}, {1, 3, 1908}, {2, 1, 1909}, {1, 5, 1908}, {2, 2, 1909}, {2, 3, 1904}};
  int64_t t = 0;
  for (const Move& m : moves) {
    t = RunMove(plc, m.relay, m.position, m.level, t + 100);
    ASSERT_GT(t, 0) << m.position << "." << m.level << " " << m.relay;
    EXPECT_EQ(plc.Plates().Count(), 3);
  }
  EXPECT_EQ(plc.Plates().Occupied(), (Places{"2.1", "2.2", "2.3"}));
  EXPECT_FALSE(plc.ErrorStands());
}

}  // namespace
