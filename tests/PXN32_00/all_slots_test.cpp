#include "PXN32_00/all_slots.h"

#include <algorithm>

#include "PXN32_00/moves_on_line.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "support/virtual_world.h"

namespace {

constexpr int64_t kSecond = 1000000;
using Places = std::vector<std::string>;

class AllSlotsTestScreen : public VirtualWorld {
 protected:
  // Runs the screen on a store of this geometry with the plates given, answering its
  // questions with `keys`, and quits once the second cycle shows its first line. The
  // store is given time to finish whatever move it was making.
  void Run(int positions, int levels, const std::vector<plcsim::Slot>& plates,
           const std::string& answers) {
    Configure({.positions = positions, .levels = levels, .plates = plates});
    clock.SetLimit(clock.NowMicros() + 600 * kSecond);  // a cycle takes a minute or two
    OpenSimPort();
    PositionCount = positions, LevelCount = levels;
    keys.Type(answers);
    keys.onPresent = [this](const console::Screen& screen) {
      for (int row = 1; row <= screen.Rows(); ++row) {
        if (screen.RowText(row).find("Check Ready:") != std::string::npos) questions = ScreenText();
        if (!quitting && screen.RowText(row).starts_with("Cyc   2"))
          quitting = true, keys.Key(kKeyEsc), keys.Key('Y', kSecond / 10);
      }
    };
    AllSlotsTest();
    keys.onPresent = nullptr;
    plc.Advance(clock.NowMicros() + 60 * kSecond);
  }
  std::string Moves() const { return MovesOnLine(plc.Requests()); }
  // The error counters DM211 .. DM219 and the error flag, "000000000-" when all is well.
  std::string Errors() const {
    std::string counters;
    for (int address = 211; address <= 219; ++address) counters += std::to_string(plc.Dm(address));
    return counters + (plc.ErrorStands() ? "E" : "-");
  }

  std::string questions;  // the screen as it last showed "Check Ready:"
  bool quitting = false;
};

std::vector<plcsim::Slot> AllSlots(int positions, int levels) {
  std::vector<plcsim::Slot> slots;
  for (int p = 1; p <= positions; ++p)
    for (int l = 1; l <= levels; ++l) slots.push_back({p, l});
  return slots;
}

TEST_F(AllSlotsTestScreen, QuestionsThenOneCycleOverEverySlotScreenRows) {
  Run(3, 3, {{1, 1}}, "yN1\rNN");
  EXPECT_EQ(questions.substr(questions.find('\n') + 1, 15 * 82),
            "             ! WARNING !                                                        |\n"
            "! Remove all Plates from Cassettes except one !                                 |\n"
            "!      Put Plate in Pos 1.1                   !                                 |\n"
            "                                                                                |\n"
            "Detected Levels: 3            CarPos: 3                                         |\n"
            "                                                                                |\n"
            "X-fer Station [Y/N] Y                                                           |\n"
            "Quick Test [Y/N]   N                                                            |\n"
            "Enter Start Level [1]    1                                                      |\n"
            "Invers. Mode [Y/N] N                                                            |\n"
            "By Slot [Y/N] N                                                                 |\n"
            "Activate Carousel OK                                                            |\n"
            "Check Ready: Unload Plate from 1,1:   OK OK OK                                  |\n"
            "                                                                                |\n"
            "                                                                                |\n");
  EXPECT_EQ(keys.Bells(), 3);  // two for the warning, one for the quit prompt
  ExpectRows(2, {
                    "Cyc   1  Lvl  1  Pos  1   Load   OK OK OK    Unload   OK OK OK",
                    "Cyc   1  Lvl  1  Pos  2   Load   OK OK OK    Unload   OK OK OK",
                    "Cyc   1  Lvl  1  Pos  3   Load   OK OK OK    Unload   OK OK OK",
                    "Cyc   1  Lvl  2  Pos  1   Load   OK OK OK    Unload   OK OK OK",
                    "Cyc   1  Lvl  2  Pos  2   Load   OK OK OK    Unload   OK OK OK",
                    "Cyc   1  Lvl  2  Pos  3   Load   OK OK OK    Unload   OK OK OK",
                    "Cyc   1  Lvl  3  Pos  1   Load   OK OK OK    Unload   OK OK OK",
                    "Cyc   1  Lvl  3  Pos  2   Load   OK OK OK    Unload   OK OK OK",
                    "Cyc   1  Lvl  3  Pos  3   Load   OK OK OK    Unload   OK OK OK",
                    "Cyc   2  Lvl  1  Pos  1   Load    Unload",
                    "",
                });
  EXPECT_EQ(plc.Requests().front(), "RD DM200");  // the screen starts with the status bar
}

// One cycle in either order, with either kind of move, from the start level entered; the
// inverse order on a full store; the quick test. The store's books judge.
TEST_F(AllSlotsTestScreen, OneCycleServesEverySlotOnceAndTheNextStartsAtTheBottom) {
  struct Case {
    int positions, levels;
    std::vector<plcsim::Slot> plates;
    std::string answers;  // x-fer, quick [, start level line, inverse, by slot]
    std::string moves;    // every move of the first cycle, the first take-out included
    Places after;         // where the plates are after it
    std::vector<std::string> shown = {};  // whole lines of the questions or the cycle
  } cases[] = {
      {3,
       3,
       {{1, 1}},
       "YN1\rNN",
       "U1.1 " + ServedBy("1.1 2.1 3.1 1.2 2.2 3.2 1.3 2.3 3.3", "L", "U"),
       {"station"}},
      {3,
       3,
       {{1, 1}},
       "nn1\rny",
       "P1.1 " + ServedBy("1.1 1.2 1.3 2.1 2.2 2.3 3.1 3.2 3.3", "D", "P"),
       {"handler"}},
      {3,
       3,
       {{1, 1}},
       "YN2\rNN",
       "U1.1 " + ServedBy("1.2 2.2 3.2 1.3 2.3 3.3", "L", "U"),
       {"station"},
       {"Cyc   1  Lvl  2  Pos  1   Load   OK OK OK    Unload   OK OK OK",
        "Cyc   2  Lvl  1  Pos  1   Load    Unload"}},
      {3,
       3,
       {{1, 1}},
       "YN2\rNY",
       "U1.1 " + ServedBy("1.2 1.3 2.1 2.2 2.3 3.1 3.2 3.3", "L", "U"),
       {"station"},
       {"Cyc   1  Lvl  2  Pos  1   Load   OK OK OK    Unload   OK OK OK",
        "Cyc   2  Lvl  1  Pos  1   Load    Unload"}},
      {2,
       3,
       {{1, 1}},
       "YNx\r0\rNN",
       "U1.1 " + ServedBy("1.1 2.1 1.2 2.2 1.3 2.3", "L", "U"),
       {"station"},
       {"Enter Start Level [1]    x", "Invalid numeric input"}},
      {2,
       3,
       {{1, 1}},
       "YN99\rNn",
       "U1.1 " + ServedBy("1.3 2.3", "L", "U"),
       {"station"},
       {"Cyc   1  Lvl  3  Pos  1   Load   OK OK OK    Unload   OK OK OK",
        "Cyc   2  Lvl  1  Pos  1   Load    Unload"}},
      {2,
       2,
       AllSlots(2, 2),
       "YN1\rYN",
       ServedBy("1.1 2.1 1.2 2.2", "U", "L"),
       {"1.1", "1.2", "2.1", "2.2"},
       {"Cyc   1  Lvl  1  Pos  1 UnLoad   OK OK OK      Load   OK OK OK"}},
      // Any other key at the inverse question: no first take-out, the normal order; the
      // plate waits on the transfer station (-2.0).
      {2, 2, {{-2, 0}}, "YN1\rxN", ServedBy("1.1 2.1 1.2 2.2", "L", "U"), {"station"}},
      {3,
       3,
       {{1, 1}},
       "YY",
       "U1.1 " + ServedBy("1.1 1.3 2.1 2.3 3.1 3.3", "L", "U"),
       {"station"},
       {"Cyc   1  Lvl  1  Pos  1  Laod   OK OK OK   Unload   OK OK OK",
        "Cyc   1  Lvl  3  Pos  3  Laod   OK OK OK   Unload   OK OK OK",
        "Cyc   2  Lvl  1  Pos  1  Laod   Unload", "Cyc   2  Lvl  3  Pos  1  Laod   Unload"}},
      {2, 1, {{1, 1}}, "Ny", "P1.1 " + ServedBy("1.1 1.1 2.1 2.1", "D", "P"), {"handler"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers);
    ResetProgramGlobals();
    quitting = false;
    Run(c.positions, c.levels, c.plates, c.answers);
    EXPECT_EQ(Moves(), c.moves);
    EXPECT_EQ(plc.Plates().Occupied(), c.after);
    EXPECT_EQ(Errors(), "000000000-");
    for (const std::string& line : c.shown)
      EXPECT_NE((questions + ScreenText()).find(line + std::string(80 - line.size(), ' ') + "|"),
                std::string::npos)
          << line << "\n"
          << questions << ScreenText();
  }
}

}  // namespace

namespace {

// A store that never gets Ready holds the screen at its first Ready wait, redrawing the
// status bar at the pace of the line, until Esc and Y; nothing moves.
TEST_F(AllSlotsTestScreen, ReadyThatNeverComesHoldsUntilQuitWithoutSpinning) {
  Configure();
  plc.faults.readyStuck = true;
  OpenSimPort();
  PositionCount = 9, LevelCount = 10;
  keys.Type("YN1\rNN");
  for (char answer : {'n', 'Y'}) keys.Key(kKeyEsc, 20 * kSecond), keys.Key(answer, kSecond);
  AllSlotsTest();
  const auto sent = Sent();
  const int64_t took = NowMs(), statusBars = std::ranges::count(sent, "RD DM200\r");
  EXPECT_NEAR(took, 42000, 1000);
  // The line's time, the two prompts answered after a second each, the 0.1 s pause.
  EXPECT_NEAR(static_cast<double>(sent.size()) * 55 + 2000 + 100, took, 60);
  EXPECT_NEAR(statusBars * 3, static_cast<int64_t>(sent.size()), 12);
  EXPECT_EQ(Moves(), "");
  EXPECT_EQ(plc.Plates().Occupied(), Places{"1.1"});
  ExpectRows(2, {"Cyc   1  Lvl  1  Pos  1   Load    Unload", ""});
  EXPECT_EQ(Row(1).substr(0, 19), "Plaxon    ComPort 1");
}

}  // namespace
