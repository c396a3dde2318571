#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "support/virtual_world.h"

namespace {

using namespace std::string_literals;

using MacroScreenTest = VirtualWorld;

// Row 23: the key's code less 48 (the Esc's -21); row 24: the command. Scan codes are no letters.
TEST_F(MacroScreenTest, CommandKeysSendTheirCommandAndShowItOnRow24) {
  const std::tuple<std::string, Lines, std::string> cases[] = {
      {"a", {"ST 1801\r"}, "A  ST 1801 OK"},
      {"F", {"RS 1907\r"}, "F  RS 1907 OK"},
      {"", {}, ""},
      {"q7", {}, ""},
      {"\0P_\0R"s, {}, ""},  // Down and Ins: no P, no R
      {"I3\r__xc", {"WR DM0 3\r", "ST 1908\r"}, ""}};
  for (const auto& [typed, sent, row24] : cases) {
    SCOPED_TRACE(Escaped(typed));
    RunScreen(MacroScreen, typed + "__~");
    Lines commands;
    for (const std::string& request : SentSinceMark())
      if (!request.starts_with("RD ")) commands.push_back(request);
    EXPECT_TRUE(SameLines(commands, sent));
    EXPECT_EQ(RowTrim(23) + "|" + RowTrim(24), "-21|" + row24);
  }
  // The cassette I asked for stands in error.
  ExpectRows(2, Rows("Function           Command    Key||Rot. Position      WR DM0 x  1..9|"
                     "Enable Rotation    WR DM0 0     0|Gate Open          ST 1901      O|"
                     "Gate Close         ST 1902      C|End Access         ST 1903      E|"
                     "BCR                RS 1909      B|CarAct ON          ST 1801      A|"
                     "System Reset       ST 1900      R||Quit               --         esc|||||"
                     "ErrorFlag  [1814] 1|PlateReady [1815] 0|Ready      [1915] 0||"
                     "Please Select ->|-21|"));
}

// One key a cycle of about half a second; a cycle without a key leaves a NUL that the
// next one takes (-48); the row is not cleared.
TEST_F(MacroScreenTest, Row23ShowsTheKeyValueWithAnIdleNulEveryOtherCycle) {
  const std::tuple<std::string, int64_t, std::string> cases[] = {
      {"q", 800, "33"},  {"\xE1", 800, "177"}, {"", 800, ""},
      {"", 1300, "-48"}, {"q", 1800, "-48"},   {"__7", 2600, "748"}};
  for (const auto& [typed, runMs, row23] : cases) {
    clock.SetLimit(clock.NowMicros() + runMs * 1000);
    EXPECT_THROW(RunScreen(MacroScreen, typed), base::VirtualTimeExceeded);
    EXPECT_EQ(RowTrim(23), row23) << Escaped(typed) << " for " << runMs << " ms";
  }
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
