#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "support/virtual_world.h"

namespace {

using namespace std::string_literals;

using MacroScreenTest = VirtualWorld;

// Row 23: the code of each cycle's key less 48 (the Esc's -21); a cycle of about half a
// second without a key leaves a NUL that the next one takes (-48), and the row is not
// cleared. Row 24: the command of a command key. Scan codes are no letters.
TEST_F(MacroScreenTest, KeysShowTheirValueOnRow23AndCommandsGoOutAndShowOnRow24) {
  // Typed, ms to run (0: until the Esc typed last), commands sent, rows 23 and 24.
  const std::tuple<std::string, int, Lines, std::string> cases[] = {
      {"q", 800, {}, "33|"}, {"\xE1", 800, {}, "177|"}, {"", 800, {}, "|"}, {"", 1300, {}, "-48|"},
      {"q", 1800, {}, "-48|"}, {"__7", 2600, {}, "748|"}, {"__~", 0, {}, "-21|"},
      {"a__~", 0, {"ST 1801\r"}, "-21|A  ST 1801 OK"}, {"q7__~", 0, {}, "-21|"},
      {"F__~", 0, {"RS 1907\r"}, "-21|F  RS 1907 OK"}, {"\0P_\0R__~"s, 0, {}, "-21|"},  // no P, R
      {"I3\r__xc__~", 0, {"WR DM0 3\r", "ST 1908\r"}, "-21|"}};
  for (const auto& [typed, runMs, sent, rows] : cases) {
    SCOPED_TRACE(Escaped(typed) + " for " + std::to_string(runMs) + " ms");
    clock.SetLimit(clock.NowMicros() + (runMs ? runMs : 60000) * int64_t{1000});
    if (runMs) {
      EXPECT_THROW(RunScreen(MacroScreen, typed), base::VirtualTimeExceeded);
    } else {
      RunScreen(MacroScreen, typed);
    }
    Lines commands;
    for (const std::string& request : SentSinceMark())
      if (!request.starts_with("RD ")) commands.push_back(request);
    EXPECT_TRUE(SameLines(commands, sent));
    EXPECT_EQ(RowTrim(23) + "|" + RowTrim(24), rows);
  }
  // After the macro I: the cassette it asked for stands in error.
  ExpectRows(2, Rows("Function           Command    Key||Rot. Position      WR DM0 x  1..9|"
                     "Enable Rotation    WR DM0 0     0|Gate Open          ST 1901      O|"
                     "Gate Close         ST 1902      C|End Access         ST 1903      E|"
                     "BCR                RS 1909      B|CarAct ON          ST 1801      A|"
                     "System Reset       ST 1900      R||Quit               --         esc|||||"
                     "ErrorFlag  [1814] 1|PlateReady [1815] 0|Ready      [1915] 0||"
                     "Please Select ->|-21|"));
}

// I asks in its sub-window, in the new colours when the version's low byte is above 6; the
// entry goes out as a 16-bit word, and only c ends the wait: not F9 (0 and C), x, Esc or n.
TEST_F(MacroScreenTest, MacroIAsksInItsSubWindowAndWaitsForC) {
  const struct {
    uint16_t dosVersion;
    uint8_t iWindow;  // the colours of a blank cell
    std::string typed, word;
  } cases[] = {{0x0A06, 0xF1, "70000", "4464"}, {0x0607, 0x11, "-1", "65535"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dosVersion);
    keys.onPresent = [&](const console::Screen&) {  // on the fresh store, once the screen runs
      DosVersionWord = c.dosVersion;
      plc.SetDm(120, 11), plc.SetDm(121, 22);
    };
    EXPECT_THROW(RunScreen(MacroScreen, "i" + c.typed + "\r__x~n\0C"s), console::OutOfKeys);
    ExpectRows(20, {"Ready    Cassette Number : " + c.typed, "       OK", "Please 11 22",
                    "25     Press c to continue"});
    EXPECT_EQ(AttrAt(60, 24), c.iWindow) << "I's window";
    ExpectSent(Requests("RD DM200,RD 1915,RD 1814,RD 1815,RD 1915,RD DM200,RD 1915,WR DM0 " +
                        c.word + ",RD 1915,ST 1908,RD DM121,RD DM120"));
  }
}

}  // namespace
