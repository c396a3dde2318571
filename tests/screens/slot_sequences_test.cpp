// The all-slots and the three-plate test, judged by the simulated store's books.
#include <algorithm>

#include "PXN32_00/screens.h"
#include "support/virtual_world.h"

namespace {

class SlotSequences : public VirtualWorld {
 protected:
  // The moves asked for, as "L1.1" Load, "U" Unload, "P" Pick, "D" Place (drop).
  std::string Moves() const {
    std::string moves, position = "?", level = "?";
    for (const std::string& r : plc.Requests()) {
      if (r.starts_with("WR DM0 ")) position = r.substr(7);
      if (r.starts_with("WR DM5 ")) level = r.substr(7);
      for (const auto& [relay, kind] :
           {std::pair{"ST 1904", "L"}, {"ST 1905", "U"}, {"ST 1908", "P"}, {"ST 1909", "D"}})
        if (r == relay) moves += (moves.empty() ? "" : " ") + (kind + position) + "." + level;
    }
    return moves;
  }
  // Runs `screen` with `answers`, Esc and Y once the moves `expected` went out: those moves,
  // the plates `after`, none refused, lost or sent while the store was not ready.
  void Run(void (*screen)(), const plcsim::SimConfig& store, const std::string& answers,
           const std::string& expected, const Lines& after) {
    const long quitAt = std::ranges::count(expected, '.');
    keys.onPresent = [&, quit = false](const console::Screen&) mutable {
      if (!quit && std::ranges::count(Moves(), '.') == quitAt)
        quit = true, Script("~_Y", kSecond / 10);
    };
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
    RunScreen(screen, "_" + answers, store);
    keys.onPresent = nullptr;
    plc.Advance(clock.NowMicros() + 60 * kSecond);
    EXPECT_EQ(Moves(), expected);
    EXPECT_EQ(plc.Plates().Occupied(), after);
    EXPECT_EQ(plc.RefusedMoves() + plc.PlatesLost() + plc.MovesWhileNotReady(), 0);
  }
};

// "1.1 2.1" served by a bring-in and a take-out each: "L1.1 U1.1 L2.1 U2.1".
std::string Served(const Lines& slots, const char* in, const char* out) {
  std::string moves;
  for (const std::string& slot : slots)
    moves += std::string(moves.empty() ? "" : " ") + in + slot + " " + out + slot;
  return moves;
}

}  // namespace

// One cycle in either order, with either kind of move, from the start level entered (for
// the first cycle only); the inverse order on a full store; the quick test.
TEST_F(SlotSequences, AllSlotsCycleServesEverySlotOnceAndTheNextStartsAtTheBottom) {
  // Positions, levels, plates (-2.0: the transfer station), answers (x-fer, quick [, start
  // level line, inverse, by slot]), the first take-out, a cycle and the first move of the
  // next, where the plates are then, row 2.
  using Case =
      std::tuple<int, int, std::vector<plcsim::Slot>, std::string, std::string, Lines, std::string>;
  const Case cases[] = {
      // clang-format off
      {3, 2, {{1, 1}}, "YN1\rNN", "U1.1 " + Served({"1.1", "2.1", "3.1", "1.2", "2.2", "3.2"}, "L", "U") + " L1.1",
       {"1.1"}, "Cyc   1  Lvl  1  Pos  1   Load   OK OK OK    Unload   OK OK OK"},
      {2, 3, {{1, 1}}, "nn1\rny", "P1.1 " + Served({"1.1", "1.2", "1.3", "2.1", "2.2", "2.3"}, "D", "P") + " D1.1", {"1.1"}, ""},
      {2, 3, {{1, 1}}, "YN2\rNN", "U1.1 " + Served({"1.2", "2.2", "1.3", "2.3"}, "L", "U") + " L1.1", {"1.1"}, ""},
      {2, 3, {{1, 1}}, "YN99\rNn", "U1.1 " + Served({"1.3", "2.3"}, "L", "U") + " L1.1", {"1.1"}, ""},
      {2, 1, {{1, 1}, {2, 1}}, "YN1\rYN", Served({"1.1", "2.1"}, "U", "L") + " U1.1", {"2.1", "station"},
       "Cyc   1  Lvl  1  Pos  1 UnLoad   OK OK OK      Load   OK OK OK"},
      // Any other key at the inverse question: no first take-out, the normal order.
      {2, 1, {{-2, 0}}, "YN1\rxN", Served({"1.1", "2.1"}, "L", "U") + " L1.1", {"1.1"}, ""},
      {2, 3, {{1, 1}}, "YY", "U1.1 " + Served({"1.1", "1.3", "2.1", "2.3"}, "L", "U") + " L1.1", {"1.1"},
       "Cyc   1  Lvl  1  Pos  1  Laod   OK OK OK   Unload   OK OK OK"},
      {2, 1, {{1, 1}}, "Ny", "P1.1 " + Served({"1.1", "1.1", "2.1", "2.1"}, "D", "P") + " D1.1", {"1.1"}, ""}};
  // clang-format on
  for (const auto& [positions, levels, plates, answers, moves, after, row] : cases) {
    SCOPED_TRACE(answers);
    Run(AllSlotsTest, {.positions = positions, .levels = levels, .plates = plates}, answers, moves,
        after);
    if (!row.empty()) ExpectRows(2, {row});
  }
}

// Round two positions and on, the third plate over on the handler (1703) or the station; a
// quit in the walk ends the cycle there; a stack of 3 has no level to walk into.
TEST_F(SlotSequences, ThreePlatesWalkUpEveryStackAndRoundTheCarousel) {
  const std::tuple<int, bool, std::string, Lines> cases[] = {
      // clang-format off
      {5, true, "P1.2 D1.4 P1.1 D1.2 P1.3 D1.5 P1.2 D1.3 P1.4 D2.3 P1.3 D2.1 P1.5 D2.2 "
                "P2.2 D2.4 P2.1 D2.2 P2.3 D2.5 P2.2 D2.3 P2.4 D1.3 P2.3 D1.1 P2.5 D1.2 P1.2", {"1.1", "1.3", "handler"}},
      {5, false, "P1.2 D1.4 P1.1 D1.2 P1.3 D1.5 P1.2 D1.3 U1.4 P1.3 D2.1 P1.5 D2.2 L2.3 "
                 "P2.2 D2.4 P2.1 D2.2 P2.3 D2.5 P2.2 D2.3 U2.4 P2.3 D1.1 P2.5 D1.2 L1.3 P1.2", {"1.1", "1.3", "handler"}},
      {6, false, "P1.2 D1.4", {"1.1", "1.3", "1.4"}},
      {3, false, "", {"1.1", "1.2", "1.3"}}};  // clang-format on
  for (const auto& [levels, route1703, moves, after] : cases) {
    SCOPED_TRACE(moves);
    Run(ThreePlateTest,
        {.positions = 2,
         .levels = levels,
         .threePlateRoute = route1703,
         .plates = {{1, 1}, {1, 2}, {1, 3}}},
        " ", moves, after);
  }
  ExpectRows(2, Rows("! 3-Plate Test needs 4 Levels or more, Detected Levels: 3 !|Press any key|"));
}
