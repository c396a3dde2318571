// The all-slots and the three-plate test against the simulated store, judged by its books:
// the moves it was asked for, where its plates are, its error counters.
#include <algorithm>
#include <cstring>
#include <functional>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/three_plate.h"
#include "support/virtual_world.h"

namespace {


class SlotSequences : public VirtualWorld {
 protected:
  // Runs `screen` on a store of `config`, typing `answers`; Esc and Y follow on the first
  // frame where `quitWhen` holds. The store is then let finish the move it is making.
  void Run(void (*screen)(), const plcsim::SimConfig& config, const std::string& answers,
           const std::function<bool(const console::Screen&)>& quitWhen,
           plcsim::ModelFaults faults = {}) {
    ResetProgramGlobals();
    Configure(config);
    plc.faults = faults;
    plc.Handle("ST 1801", clock.NowMicros());
    line.ClearWire();
    OpenSimPort();
    PositionCount = config.positions, LevelCount = config.levels;
    Flag1703 = config.threePlateRoute;
    clock.SetLimit(clock.NowMicros() + 600 * kSecond);  // a cycle takes a minute or two
    if (!answers.empty())  // after the screen shows, past its key flush; the rest at once
      keys.Key(answers[0], kSecond / 2), keys.Type(answers.substr(1));
    bool quitting = false;
    keys.onPresent = [&](const console::Screen& shown) {
      if (shown.RowText(2).find("! WARNING !") != std::string::npos) warning = ScreenText();
      if (!quitting && quitWhen(shown))
        quitting = true, keys.Key(kKeyEsc), keys.Key('Y', kSecond / 10);
    };
    screen();
    keys.onPresent = nullptr;
    plc.Advance(clock.NowMicros() + 60 * kSecond);
  }
  // The moves asked for, as "L1.1" Load, "U" Unload, "P" Pick, "D" Place (drop).
  std::string Moves() const {
    std::string moves, position = "?", level = "?";
    for (const std::string& r : plc.Requests()) {
      if (r.starts_with("WR DM0 ")) position = r.substr(7);
      if (r.starts_with("WR DM5 ")) level = r.substr(7);
      const char* kind = r == "ST 1904"   ? "L"
                         : r == "ST 1905" ? "U"
                         : r == "ST 1908" ? "P"
                         : r == "ST 1909" ? "D"
                                          : nullptr;
      if (kind) moves += (moves.empty() ? "" : " ") + (kind + position) + "." + level;
    }
    return moves;
  }
  size_t MoveCount() const { return std::ranges::count(Moves(), '.'); }
  // The error counters DM211 .. DM219 and the error flag: "000000000-" when all went well.
  std::string Errors() const {
    std::string counters;
    for (int address = 211; address <= 219; ++address) counters += std::to_string(plc.Dm(address));
    return counters + (plc.ErrorStands() ? "E" : "-");
  }

  std::string warning;  // the screen as it last showed its warning
};

bool CycleTwoShows(const console::Screen& shown) {
  for (int row = 2; row <= shown.Rows(); ++row)
    if (shown.RowText(row).starts_with("Cyc   2")) return true;
  return false;
}

// "1.1 2.1" served by a bring-in and a take-out each: "L1.1 U1.1 L2.1 U2.1".
std::string Served(std::string slots, const char* in, const char* out) {
  std::string moves;
  for (char* slot = strtok(slots.data(), " "); slot; slot = strtok(nullptr, " "))
    moves += std::string(moves.empty() ? "" : " ") + in + slot + " " + out + slot;
  return moves;
}

TEST_F(SlotSequences, AllSlotsWarningAndQuestions) {
  Run(AllSlotsTest, {.positions = 2, .levels = 3}, "yN1\rNN", CycleTwoShows);
  EXPECT_EQ(warning.substr(warning.find('\n') + 1, 14 * 82),
            "             ! WARNING !                                                        |\n"
            "! Remove all Plates from Cassettes except one !                                 |\n"
            "!      Put Plate in Pos 1.1                   !                                 |\n"
            "                                                                                |\n"
            "Detected Levels: 3            CarPos: 2                                         |\n"
            "                                                                                |\n"
            "X-fer Station [Y/N] Y                                                           |\n"
            "Quick Test [Y/N]   N                                                            |\n"
            "Enter Start Level [1]    1                                                      |\n"
            "Invers. Mode [Y/N] N                                                            |\n"
            "By Slot [Y/N] N                                                                 |\n"
            "Activate Carousel OK                                                            |\n"
            "Check Ready: Unload Plate from 1,1:   OK OK OK                                  |\n"
            "                                                                                |\n");
  EXPECT_EQ(keys.Bells(), 2 + 1);  // the warning's and the quit prompt's
}

// One cycle in either order, with either kind of move, from the start level entered; the
// inverse order on a full store; the quick test. Each ends where cycle 2 shows.
TEST_F(SlotSequences, AllSlotsCycleServesEverySlotOnceAndTheNextStartsAtTheBottom) {
  // clang-format off
  struct Case {
    int positions, levels;
    std::vector<plcsim::Slot> plates;  // -2.0 is the transfer station
    std::string answers;  // x-fer, quick [, start level line, inverse, by slot]
    std::string moves;    // every move of the first cycle, the first take-out included
    Lines after;          // where the plates are then
    std::string row;      // a whole row on the screen
  } cases[] = {
      {3, 3, {{1, 1}}, "YN1\rNN", "U1.1 " + Served("1.1 2.1 3.1 1.2 2.2 3.2 1.3 2.3 3.3", "L", "U"),
       {"station"}, "Cyc   1  Lvl  3  Pos  3   Load   OK OK OK    Unload   OK OK OK"},
      {3, 3, {{1, 1}}, "nn1\rny", "P1.1 " + Served("1.1 1.2 1.3 2.1 2.2 2.3 3.1 3.2 3.3", "D", "P"),
       {"handler"}, "Cyc   1  Lvl  3  Pos  3   Load   OK OK OK    Unload   OK OK OK"},
      {3, 3, {{1, 1}}, "YN2\rNN", "U1.1 " + Served("1.2 2.2 3.2 1.3 2.3 3.3", "L", "U"),
       {"station"}, "Cyc   2  Lvl  1  Pos  1   Load    Unload"},
      {3, 3, {{1, 1}}, "YN2\rNY", "U1.1 " + Served("1.2 1.3 2.1 2.2 2.3 3.1 3.2 3.3", "L", "U"),
       {"station"}, "Cyc   1  Lvl  2  Pos  1   Load   OK OK OK    Unload   OK OK OK"},
      {2, 3, {{1, 1}}, "YNx\r0\rNN", "U1.1 " + Served("1.1 2.1 1.2 2.2 1.3 2.3", "L", "U"),
       {"station"}, "Invalid numeric input"},
      {2, 3, {{1, 1}}, "YN99\rNn", "U1.1 " + Served("1.3 2.3", "L", "U"),
       {"station"}, "Cyc   1  Lvl  3  Pos  1   Load   OK OK OK    Unload   OK OK OK"},
      {2, 2, {{1, 1}, {1, 2}, {2, 1}, {2, 2}}, "YN1\rYN", Served("1.1 2.1 1.2 2.2", "U", "L"),
       {"1.1", "1.2", "2.1", "2.2"}, "Cyc   1  Lvl  1  Pos  1 UnLoad   OK OK OK      Load   OK OK OK"},
      // Any other key at the inverse question: no first take-out, the normal order.
      {2, 2, {{-2, 0}}, "YN1\rxN", Served("1.1 2.1 1.2 2.2", "L", "U"),
       {"station"}, "Cyc   1  Lvl  2  Pos  2   Load   OK OK OK    Unload   OK OK OK"},
      {3, 3, {{1, 1}}, "YY", "U1.1 " + Served("1.1 1.3 2.1 2.3 3.1 3.3", "L", "U"),
       {"station"}, "Cyc   1  Lvl  3  Pos  3  Laod   OK OK OK   Unload   OK OK OK"},
      {2, 1, {{1, 1}}, "Ny", "P1.1 " + Served("1.1 1.1 2.1 2.1", "D", "P"),
       {"handler"}, "Cyc   2  Lvl  1  Pos  1  Laod   Unload"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers);
    Run(AllSlotsTest, {.positions = c.positions, .levels = c.levels, .plates = c.plates}, c.answers,
        CycleTwoShows);
    EXPECT_EQ(Moves(), c.moves);
    EXPECT_EQ(plc.Plates().Occupied(), c.after);
    EXPECT_EQ(Errors(), "000000000-");
    EXPECT_NE((warning + ScreenText()).find(c.row + std::string(80 - c.row.size(), ' ') + "|"),
              std::string::npos)
        << warning << ScreenText();
  }
}

// Round a carousel of two positions and on to the first move of the next round, with the
// third plate changing stacks on the handler (relay 1703) and through the transfer station.
TEST_F(SlotSequences, ThreePlatesWalkUpEveryStackAndRoundTheCarouselBackToPositionOne) {
  const std::string handler =  // two passes up the stack of 5, then over to the next position
      "P1.2 D1.4 P1.1 D1.2 P1.3 D1.5 P1.2 D1.3 P1.4 D2.3 P1.3 D2.1 P1.5 D2.2 "
      "P2.2 D2.4 P2.1 D2.2 P2.3 D2.5 P2.2 D2.3 P2.4 D1.3 P2.3 D1.1 P2.5 D1.2 P1.2";
  const std::string station =
      "P1.2 D1.4 P1.1 D1.2 P1.3 D1.5 P1.2 D1.3 U1.4 P1.3 D2.1 P1.5 D2.2 L2.3 "
      "P2.2 D2.4 P2.1 D2.2 P2.3 D2.5 P2.2 D2.3 U2.4 P2.3 D1.1 P2.5 D1.2 L1.3 P1.2";
  for (const std::string& moves : {handler, station}) {
    const size_t count = std::ranges::count(moves, '.');
    Run(ThreePlateTest,
        {.positions = 2,
         .levels = 5,
         .threePlateRoute = moves == handler,
         .plates = {{1, 1}, {1, 2}, {1, 3}}},
        " ", [&](auto&) { return MoveCount() == count; });
    EXPECT_EQ(Moves(), moves);
    EXPECT_EQ(plc.Plates().Occupied(), (Lines{"1.1", "1.3", "handler"}));  // P1.2 of round 2
    EXPECT_EQ(Errors(), "000000000-");
    std::string stream;  // three replies a move, one move after another, wrapping at the edge
    for (size_t i = 0; i < count; ++i) stream += "  OK OK OK ";
    Lines rows;
    for (size_t at = 0; at < stream.size(); at += 80) rows.push_back(stream.substr(at, 80));
    rows.back().erase(rows.back().find_last_not_of(' ') + 1);
    rows.push_back("");
    ExpectRows(2, rows);
  }
  EXPECT_EQ(warning.substr(warning.find('\n') + 1, 4 * 82),
            "                    ! WARNING !                                                 |\n"
            "! Remove all Plates from Cassettes except 3 Plates !                            |\n"
            "!      Put Plate in Pos 1.1, 1.2 and 1.3 !                                      |\n"
            "                                                                                |\n");
  EXPECT_EQ(keys.Bells(), 2 * 3);  // the warning's two and the quit prompt, twice
}

// A quit in the walk up the stack ends the cycle there: no plate goes over to the next
// position. A stack of 3 has no level to walk into: nothing moves, a key returns.
TEST_F(SlotSequences, ThreePlateQuitInTheWalkUpEndsTheCycleAndAShortStackIsRefused) {
  const plcsim::SimConfig three = {.positions = 3, .levels = 6, .plates = {{1, 1}, {1, 2}, {1, 3}}};
  Run(ThreePlateTest, three, " ", [&](auto&) { return MoveCount() == 2; });
  EXPECT_EQ(Moves(), "P1.2 D1.4");
  EXPECT_EQ(plc.Plates().Occupied(), (Lines{"1.1", "1.3", "1.4"}));
  // A walk would take the Esc and Y that wait after the key.
  Run(ThreePlateTest, {.positions = 3, .levels = 3, .plates = three.plates}, " \x1bY",
      [](auto&) { return false; });
  ThreePlateCycle(1, 1, 3, 3);
  EXPECT_EQ(keys.Pending(), 2u);
  ExpectRows(2, (Lines{"! 3-Plate Test needs 4 Levels or more, Detected Levels: 3 !",
                       "Press any key", ""}));
  EXPECT_EQ(Moves() + Errors(), "000000000-");
  EXPECT_EQ(plc.Plates().Occupied(), (Lines{"1.1", "1.2", "1.3"}));
}

// A store that never gets Ready holds either screen at its first Ready wait, redrawing the
// status bar at the pace of the line, until Esc and Y. The all-slots test waits before its
// first move and moves nothing; the three-plate walk waits inside its first move, which
// still goes out once.
TEST_F(SlotSequences, ReadyThatNeverComesHoldsUntilQuitWithoutSpinning) {
  struct Case {
    void (*screen)();
    const char* answers;
    const char* moves;
    Lines after;
  } cases[] = {{&AllSlotsTest, "YN1\rNN", "", {"1.1", "1.2", "1.3"}},
               {&ThreePlateTest, " ", "P1.2", {"1.1", "1.3", "handler"}}};
  for (const auto& [screen, answers, moves, after] : cases) {
    const int64_t start = NowMs(), typing = 500 * static_cast<int64_t>(strlen(answers));
    keys.Type(answers, kSecond / 2);
    for (char answer : {'n', 'Y'}) keys.Key(kKeyEsc, 20 * kSecond), keys.Key(answer, kSecond);
    Run(screen, {.levels = 4, .plates = {{1, 1}, {1, 2}, {1, 3}}}, "", [](auto&) { return false; },
        {.readyStuck = true});
    const auto sent = Sent();
    const int64_t took = NowMs() - start, statusBars = std::ranges::count(sent, "RD DM200\r");
    // The line's time, the keys typed and the prompts answered a second after their Esc.
    EXPECT_NEAR(static_cast<double>(sent.size()) * 55 + typing + 2000, took, 200);
    EXPECT_NEAR(statusBars * 3, static_cast<int64_t>(sent.size()), 12);
    EXPECT_EQ(Moves(), moves);
    EXPECT_EQ(plc.Plates().Occupied(), after);
  }
}

}  // namespace

namespace {

// A store that reports no positions gives the quick test nothing to serve: the cycles
// wait a second each for the quit instead of spinning.
TEST_F(SlotSequences, QuickTestOfAStoreWithoutPositionsWaitsForTheQuit) {
  OpenSimPort();
  PositionCount = -1, LevelCount = 3;
  keys.Type("YY", kSecond / 2);
  keys.Key(kKeyEsc, 10 * kSecond), keys.Key('Y', kSecond);
  const int64_t start = NowMs();
  AllSlotsTest();
  EXPECT_EQ(Moves(), "U1.1");  // only the first take-out
  EXPECT_GE(NowMs() - start, 10000);  // the Esc came 10 s after the last answer
}

}  // namespace
