#include "PXN_Lib3/three_plate.h"

#include <algorithm>

#include "PXN32_00/moves_on_line.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "support/virtual_world.h"

namespace {

constexpr int64_t kSecond = 1000000;
using Places = std::vector<std::string>;

size_t CountMoves(const std::string& moves) {
  return moves.empty() ? 0 : static_cast<size_t>(std::ranges::count(moves, ' ')) + 1;
}

class ThreePlateScreen : public VirtualWorld {
 protected:
  // Runs the screen on a store with three plates at 1.1 .. 1.3 and quits once `quitAfter`
  // moves have been sent; `booksAt` is where the plates stood when the first `turn` moves
  // had ended. The store is then given time to finish its move.
  void Run(int positions, int levels, bool route, size_t quitAfter, size_t turn = 0) {
    Configure({.positions = positions,
               .levels = levels,
               .threePlateRoute = route,
               .plates = {{1, 1}, {1, 2}, {1, 3}}});
    plc.SetRelay(1801, true);
    OpenSimPort();
    PositionCount = positions, LevelCount = levels, Flag1703 = route;
    clock.SetLimit(clock.NowMicros() + 600 * kSecond);  // a turn takes under two minutes
    keys.Key(' ', kSecond);  // the warning waits for a key typed after it
    bool quitting = false;
    keys.onPresent = [&](const console::Screen& screen) {
      if (screen.RowText(2).find("! WARNING !") != std::string::npos) warning = ScreenText();
      const size_t moves = CountMoves(Moves());
      if (moves == turn && plc.Relay(1915)) booksAt = plc.Plates().Occupied();
      if (!quitting && moves == quitAfter)
        quitting = true, keys.Key(kKeyEsc), keys.Key('Y', kSecond / 10);
    };
    ThreePlateTest();
    keys.onPresent = nullptr;
    plc.Advance(clock.NowMicros() + 60 * kSecond);
  }
  std::string Moves() const { return MovesOnLine(plc.Requests()); }
  std::string Errors() const {  // DM211 .. DM219 and the error flag; "000000000-" is well
    std::string counters;
    for (int address = 211; address <= 219; ++address) counters += std::to_string(plc.Dm(address));
    return counters + (plc.ErrorStands() ? "E" : "-");
  }

  std::string warning;  // the screen while the warning waited for its key
  Places booksAt;
};

// Round a carousel of two positions and on to the first move of the next round, with the
// third plate changing stacks on the handler (relay 1703) and through the transfer station.
TEST_F(ThreePlateScreen, TheBlockWalksUpEveryStackAndRoundTheCarouselBackToPositionOne) {
  const std::string handler =  // two passes up the stack of 5, then over to the next position
      "P1.2 D1.4 P1.1 D1.2 P1.3 D1.5 P1.2 D1.3 P1.4 D2.3 P1.3 D2.1 P1.5 D2.2 "
      "P2.2 D2.4 P2.1 D2.2 P2.3 D2.5 P2.2 D2.3 P2.4 D1.3 P2.3 D1.1 P2.5 D1.2 P1.2";
  const std::string station =
      "P1.2 D1.4 P1.1 D1.2 P1.3 D1.5 P1.2 D1.3 U1.4 P1.3 D2.1 P1.5 D2.2 L2.3 "
      "P2.2 D2.4 P2.1 D2.2 P2.3 D2.5 P2.2 D2.3 U2.4 P2.3 D1.1 P2.5 D1.2 L1.3 P1.2";
  for (bool route : {true, false}) {
    SCOPED_TRACE(route ? "on the handler" : "through the station");
    ResetProgramGlobals();
    const std::string& moves = route ? handler : station;
    const size_t turn = CountMoves(moves) - 1;
    Run(2, 5, route, turn + 1, turn);
    EXPECT_EQ(Moves(), moves);
    EXPECT_EQ(booksAt, (Places{"1.1", "1.2", "1.3"}));
    EXPECT_EQ(plc.Plates().Occupied(), (Places{"1.1", "1.3", "handler"}));
    EXPECT_EQ(Errors(), "000000000-");
    std::string stream;  // one move's three replies after another, wrapping at the edge
    for (size_t i = 0; i <= turn; ++i) stream += "  OK OK OK ";
    std::vector<std::string> rows;
    for (size_t at = 0; at < stream.size(); at += 80) rows.push_back(stream.substr(at, 80));
    rows.back().erase(rows.back().find_last_not_of(' ') + 1);
    rows.push_back("");
    ExpectRows(2, rows);
  }
  EXPECT_EQ(warning.substr(warning.find('\n') + 1, 5 * 82),
            "                    ! WARNING !                                                 |\n"
            "! Remove all Plates from Cassettes except 3 Plates !                            |\n"
            "!      Put Plate in Pos 1.1, 1.2 and 1.3 !                                      |\n"
            "                                                                                |\n"
            "                                                                                |\n");
  EXPECT_EQ(keys.Bells(), 2 * 3);  // the warning's two and the quit prompt, twice
}

// A quit in the walk up the stack ends the cycle there: no plate goes over to the next
// position. A stack of 3 has no level to walk into: nothing moves.
TEST_F(ThreePlateScreen, QuitInTheWalkUpEndsTheCycleAndAShortStackIsRefused) {
  Run(3, 6, true, 2);
  EXPECT_EQ(Moves(), "P1.2 D1.4");
  EXPECT_EQ(plc.Plates().Occupied(), (Places{"1.1", "1.3", "1.4"}));
  EXPECT_EQ(Errors(), "000000000-");

  ResetProgramGlobals();
  Configure({.positions = 3, .levels = 3, .plates = {{1, 1}, {1, 2}, {1, 3}}});
  line.ClearWire();
  OpenSimPort();
  PositionCount = 3, LevelCount = 3;
  keys.Key(' ', kSecond), keys.Key(kKeyEsc), keys.Key('Y');  // a walk would take the quit
  ThreePlateTest();
  ThreePlateCycle(1, 1, 3, 3);
  EXPECT_EQ(keys.Pending(), 2u);  // the message waited for its key, and nothing more
  ExpectRows(2,
             {"! 3-Plate Test needs 4 Levels or more, Detected Levels: 3 !", "Press any key", ""});
  EXPECT_EQ(Sent(), (std::vector<std::string>{"RD DM200\r", "RD 1915\r"}));  // the status bar
  EXPECT_EQ(plc.Plates().Occupied(), (Places{"1.1", "1.2", "1.3"}));
}

// A store that never gets Ready holds the walk at its first move until Esc and Y,
// redrawing the status bar at the pace of the line.
TEST_F(ThreePlateScreen, ReadyThatNeverComesHoldsUntilQuitWithoutSpinning) {
  Configure({.levels = 4, .plates = {{1, 1}, {1, 2}, {1, 3}}});
  plc.faults.readyStuck = true;
  plc.Handle("ST 1801", 0);  // the fault shows from the device's next change on
  OpenSimPort();
  PositionCount = 9, LevelCount = 4;
  keys.Key(' ', kSecond);
  for (char answer : {'n', 'Y'}) keys.Key(kKeyEsc, 20 * kSecond), keys.Key(answer, kSecond);
  ThreePlateTest();
  const auto sent = Sent();
  const int64_t took = NowMs(), statusBars = std::ranges::count(sent, "RD DM200\r");
  EXPECT_NEAR(took, 43000, 1000);
  // The warning's key a second in (the first bar drawn meanwhile), the line's time, the
  // two prompts answered after a second each.
  EXPECT_NEAR(1000 + static_cast<double>(sent.size() - 2) * 55 + 2000, took, 60);
  EXPECT_NEAR(statusBars * 3, static_cast<int64_t>(sent.size()), 12);
  EXPECT_EQ(Moves(), "");
  EXPECT_EQ(plc.Plates().Occupied(), (Places{"1.1", "1.2", "1.3"}));
  ExpectRows(2, {"", ""});
}

}  // namespace
