// The moves and waits the access tests are built of, against the simulated store.
#include "PXN_Lib3/timed_access.h"

#include <utility>

#include "KV_Lib3/exchange.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/scripted_line.h"
#include "support/virtual_world.h"

using TimedAccessTest = VirtualWorld;

// In with a fixed wait, out with none, in with a random one: the rows, the requests, the
// wait left behind and the time taken.
TEST_F(TimedAccessTest, RowShowsSlotRepliesTraceTimesAndTheWaitThatFollows) {
  struct Case {
    int32_t relay;
    char tag;
    bool plateReady;
    int target, level, fixedWait, maxRandomWait;
    std::string row, commands;  // the commands besides the polls
    int64_t waitAfter, ms;
  } cases[] = {// clang-format off
      // End Access, the wait twice, a countdown from 5.
      {1904, 'L', true, 3, 5, 5, 0, "  1³L 3/ 5³POK³LOK³OK³A BCC           ³ 14³At  7.2  5.8 OK³Wt  5³³Wt  5³0 s",
       "WR DM0 3,WR DM5 5,ST 1904,RD DM350,ST 1903", 5, 13000},
      // No End Access, one tick; the plate-ready column keeps the last time measured.
      {1905, 'U', false, 3, 5, 0, 0, "  2³U 3/ 5³POK³LOK³OK³C               ³ 22³At  5.5  5.8   ³Wt  0³³Wt  0³0 s",
       "WR DM0 3,WR DM5 5,ST 1905,RD DM350", 0, 7000},
      // A random wait is drawn and shown once, then the carousel's position, no countdown.
      {1904, 'L', true, 7, 2, 0, 9, "  3³L 7/ 2³POK³LOK³OK³C DEFGG         ³ 30³At  7.5  6.5 OK³Wt  3³G",
       "WR DM0 7,WR DM5 2,ST 1904,RD DM350,ST 1903", 30, 8700}};
  // clang-format on
  Configure({.plates = {{-2, 0}}});
  plc.SetRelay(plcsim::kCarouselActivation, true);
  OpenSimPort();
  PositionCount = 9;
  RandomSeed = 1000;  // the random wait draws 3
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    AccessTarget = c.target, AccessLevel = c.level;
    FixedWait = c.fixedWait, MaxRandomWait = c.maxRandomWait;
    Mark();
    ClrScr();
    GotoXY(1, 5);
    const int64_t start = NowMs();
    TimedAccess(1, c.relay, c.tag, c.plateReady);
    EXPECT_EQ(RowTrim(5), Bars(c.row));
    EXPECT_EQ(WhereX() * 100 + WhereY(), 106);  // the row is ended
    Lines commands = SentSinceMark();
    std::erase_if(commands, [](auto& r) {
      return r == "RD 1915\r" || r == "RD 1815\r" || r == "RD DM200\r" || r == "RD DM1\r";
    });
    EXPECT_TRUE(SameLines(commands, Requests(c.commands)));
    EXPECT_EQ(WaitTime, c.waitAfter);
    EXPECT_NEAR(NowMs() - start, c.ms, 500);
  }
  EXPECT_EQ(plc.Plates().Occupied(), Lines{"7.2"});
}

// Counted are times below 100.00 s. Replies take 25 ms: a trace pass 200 ms, the first
// position read sets the last 5 ms.
TEST_F(TimedAccessTest, AnAccessOfAHundredSecondsIsShownButNotCounted) {
  for (const auto& [firstRead, hundredths, count] : {std::tuple{20, 9999, 1}, {25, 10000, 0}}) {
    ResetProgramGlobals();
    FastLink = true;
    ScriptedLine& far = ScriptedLine::Install(clock);
    PortNo = 1;
    auto reply = [&](const char* text, int ms = 25) {
      far.replies.push_back({std::string(text) + "\r\n", ms * 1000});
    };
    for (const char* r : {"0", "1", "1", "OK", "OK", "OK"}) reply(r);  // Ready, then the move
    reply("1", firstRead);
    for (int pass = 1; pass <= 500; ++pass)
      reply("0"), reply("0"), reply(pass == 500 ? "1" : "0"), reply("1", pass == 500 ? 0 : 25);
    for (const char* r : {"0", "0", "1", "1"}) reply(r);        // DM350, Ready
    clock.SleepUntil((clock.NowMicros() / 10000 + 1) * 10000);  // on a hundredth
    ClrScr();
    GotoXY(1, 5);
    TimedAccess(1, 1904, 'L', false);
    EXPECT_EQ(AccessTime, hundredths);
    EXPECT_EQ(RowTrim(5),
              Bars("  1³L 0/ 0³POK³LOK³OK³A               ³  0³At 100.0  0.0   ³Wt  0³³Wt  0³0 s"));
    EXPECT_EQ(AccessCount, count);
  }
}

using DeviceOpsTest = VirtualWorld;

// Turns across the wrap, a wrong arrival at 1, a carousel too fast to follow, replies
// without a number, a Ready that never comes (Esc and n, then Esc and Y).
TEST_F(DeviceOpsTest, TrackingShowsTheTurnMarksWrongArrivalsAtOneAndOffersTheQuit) {
  struct Case {
    std::string (*wait)(int);  // returns the trace it wrote
    int from, to;
    char fault;  // 'w' wrong position, 'f' a position every 150 ms, 'e' error replies, 's' stuck
    std::string row;  // row 5 up to the cursor
  } cases[] = {       // clang-format off
      {TrackUntilReady, 3, 1, ' ', "C DEFGHIA"}, {TrackUntilReady, 3, 7, 'w', "C A<<<EFG"},
      {TrackUntilReady, 3, 1, 'f', "C DFHA<<<"}, {TrackUntilReady, 9, 1, 'e', "I A"},
      {TrackRotation, 3, 1, ' ', "C DEFGHIA"}, {TrackRotation, 3, 7, 'w', "C A<EFG"}, {TrackRotation, 3, 1, 'f', "C DEGHA<"},
      {[](int port) { return WaitReady(port), std::string(); }, 1, 1, 's', ""},
      {TrackUntilPlateReady, 1, 1, 's', "A "}, {TrackRotation, 1, 1, 's', "A "}};
  // clang-format on
  OpenSimPort();
  PositionCount = 9;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row + " fault " + c.fault);
    const bool stuck = c.fault == 's';
    Configure({.turnStepMicros = c.fault == 'f' ? 150000 : plcsim::kTurnStepMicros});
    plc.SetRelay(plcsim::kCarouselActivation, true);
    RotateTo(1, c.from);
    WaitReady(1);
    ClrScr();
    line.ClearWire();
    plc.faults = {.readyStuck = stuck, .wrongPosition = c.fault == 'w'};
    for (char answer : std::string(stuck ? "nY" : ""))
      keys.Key(kKeyEsc, 20 * kSecond), keys.Key(answer, kSecond);
    CarPosErrors = 0, QuitConfirmed = false;
    const int64_t start = NowMs();
    int bells = keys.Bells(), garbled = c.fault == 'e' ? 16 : 0;
    GotoXY(1, 5);
    RotateTo(1, c.to);
    keys.onPresent = [&](auto&) {
      if (!RowTrim(5).empty()) line.faults.errorAnswers += std::exchange(garbled, 0);
    };
    EXPECT_EQ(c.wait(1), c.row);
    keys.onPresent = nullptr;
    const int64_t took = NowMs() - start;
    EXPECT_EQ(Row(5).substr(0, WhereX() + 1), c.row + "  ") << "row 5 to the cursor, then blanks";
    EXPECT_EQ(CarPosErrors, c.row.find('<') == std::string::npos ? 0 : 1);
    EXPECT_EQ(keys.Bells() - bells, stuck ? 2 : 0) << "quit prompts";
    EXPECT_EQ(stuck ? took / 1000 : plc.Relay(1915), stuck ? 42 : 1)
        << "ends at the second Y, or on Ready";
    EXPECT_LE(static_cast<int64_t>(Sent().size()) * 55, took + 55) << "no spinning";
  }
}

// A move waits for Ready before and after; a quit before it sends nothing, one during the
// wait still lets it go out.
TEST_F(DeviceOpsTest, MovePlateWritesSlotAndRelayBetweenReadyWaitsUnlessQuit) {
  OpenSimPort();
  plc.SetRelay(plcsim::kCarouselActivation, true);
  QuitConfirmed = true;
  MovePlate(1, 1, 1, 1905);
  EXPECT_EQ(WhereX() * 100 + WhereY(), 101) << "a confirmed quit prints nothing";
  ExpectSent({});
  QuitConfirmed = false;
  RotateTo(1, 5);  // the carousel turns away
  GotoXY(1, 5);
  MovePlate(1, 1, 1, 1905);  // unload the plate of slot 1.1
  Lines sent = SentSinceMark();
  std::erase(sent, "RD DM200\r"), std::erase(sent, "RD 1915\r");
  EXPECT_TRUE(SameLines(sent, {"WR DM0 5\r", "WR DM0 1\r", "WR DM5 1\r", "ST 1905\r"}));
  ExpectRows(5, {"  OK OK OK"});
  EXPECT_EQ(WhereX(), 12);
  EXPECT_EQ(plc.Plates().Occupied(), Lines{"station"}) << "it waited for the move to end";
  EXPECT_EQ(plc.MovesWhileNotReady(), 0);
  plc.faults.readyStuck = true;
  Script("_____~_Y");
  MovePlate(1, 2, 2, 1904);
  sent = SentSinceMark();
  std::erase_if(sent, [](const std::string& r) { return r.starts_with("RD "); });
  EXPECT_TRUE(SameLines(sent, {"WR DM0 2\r", "WR DM5 2\r", "ST 1904\r"}));
  EXPECT_TRUE(QuitConfirmed);
}
