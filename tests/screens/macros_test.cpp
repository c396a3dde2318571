#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "support/virtual_world.h"

namespace {

using namespace std::string_literals;
const Lines kBar = {"RD DM200\r", "RD 1915\r"}, kFlags = {"RD 1814\r", "RD 1815\r", "RD 1915\r"};

class MacroScreenTest : public VirtualWorld {
 protected:
  // A fresh screen and store, the keys of `script` ('~' Esc, '_' a second) to come.
  void Fresh(std::string_view script, uint16_t dosVersion = 10) {
    Configure(), ResetProgramGlobals(), OpenSimPort(), Mark(), Script(script);
    DosVersionWord = dosVersion, plc.SetDm(120, 11), plc.SetDm(121, 22);
  }
};

// Row 23 shows the key's code less 48 (Esc at the end: -21), row 24 the command sent and
// its reply. Scan codes of extended keys are no letters. I: only c ends its wait.
TEST_F(MacroScreenTest, CommandKeysSendTheirCommandAndShowItOnRow24) {
  // clang-format off
  const std::tuple<std::string, Lines, std::string> cases[] = {
      {"a", {"ST 1801\r"}, "A  ST 1801 OK"}, {"C", {"ST 1902\r"}, "C  ST 1902 OK"},
      {"e", {"ST 1903\r"}, "E  ST 1903 OK"}, {"f", {"RS 1907\r"}, "F  RS 1907 OK"},
      {"l", {"RS 1810\r"}, "L  RS 1810 OK"}, {"o", {"ST 1901\r"}, "O  ST 1901 OK"},
      {"P", {"ST 1810\r"}, "P  ST 1810 OK"}, {"r", {"ST 1900\r"}, "R  ST 1900 OK"},
      {"s", {"ST 1907\r"}, "S  ST 1907 OK"}, {"", {}, ""}, {"q7", {}, ""},
      {"\0P_\0R"s, {}, ""},  // Down and Ins
      {"I3\r__xc", {"WR DM0 3\r", "ST 1908\r"}, ""}};
  // clang-format on
  for (const auto& [typed, sent, row24] : cases) {
    SCOPED_TRACE(Escaped(typed));
    Fresh(typed + "__~");
    MacroScreen();
    Lines commands;
    for (const std::string& request : SentSinceMark())
      if (!request.starts_with("RD ")) commands.push_back(request);
    EXPECT_TRUE(SameLines(commands, sent));
    const char pick = typed[0] == 'I' ? '1' : '0';  // the cassette I asks for stands in error
    // clang-format off
    ExpectRows(2, {"Function           Command    Key", "",
                   "Rot. Position      WR DM0 x  1..9", "Enable Rotation    WR DM0 0     0",
                   "Gate Open          ST 1901      O", "Gate Close         ST 1902      C",
                   "End Access         ST 1903      E", "BCR                RS 1909      B",
                   "CarAct ON          ST 1801      A", "System Reset       ST 1900      R", "",
                   "Quit               --         esc", "", "", "", "",
                   "ErrorFlag  [1814] "s + pick, "PlateReady [1815] 0",
                   "Ready      [1915] "s + char('1' - pick + '0'), "", "Please Select ->", "-21", row24});
    // clang-format on
  }
}

// One key a cycle of about half a second; a cycle without a key leaves a NUL that the
// next one takes (-48); the row is not cleared.
TEST_F(MacroScreenTest, Row23ShowsTheKeyValueWithAnIdleNulEveryOtherCycle) {
  const std::tuple<std::string, int64_t, std::string> cases[] = {
      {"q", 800, "33"},  {"\xE1", 800, "177"}, {"", 800, ""},
      {"", 1300, "-48"}, {"q", 1800, "-48"},   {"__7", 2600, "748"}};
  for (const auto& [typed, runMs, row23] : cases) {
    Fresh(typed), clock.SetLimit(clock.NowMicros() + runMs * 1000);
    EXPECT_THROW(MacroScreen(), base::VirtualTimeExceeded);
    EXPECT_EQ(RowTrim(23), row23) << Escaped(typed) << " for " << runMs << " ms";
  }
}

// The low byte of the version above 6: the new colours. Entries go out as 16-bit words.
TEST_F(MacroScreenTest, MacrosBAndIAskInTheirSubWindowsThenDrawTheScreenAnew) {
  const struct {
    uint16_t dosVersion;
    uint8_t bWindow, iWindow, afterB;  // colours of blank cells
    std::string typed, word;
  } cases[] = {{0x0A06, 0x71, 0xF1, 0x01, "70000", "4464"},
               {0x0607, 0x11, 0x11, 0x71, "-1", "65535"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dosVersion);
    Fresh("b_4\r", c.dosVersion);
    EXPECT_THROW(MacroScreen(), console::OutOfKeys);  // at the level prompt
    ExpectRows(20,
               {"Ready    Cassette Number : 4", "       OK", "Please", "18       Level Number :"});
    EXPECT_EQ(AttrAt(8, 18), 0x4E) << "the status bar";
    EXPECT_EQ(AttrAt(10, 20), 0x71) << "entries in the normal colours";
    EXPECT_EQ(AttrAt(60, 24) * 256 + AttrAt(72, 25), c.bWindow * 257) << "B's window";
    Fresh("B_4\r7\r~", c.dosVersion);
    MacroScreen();
    ExpectSent(kBar + kFlags + Lines{"RD 1915\r"} + kBar +
               Lines{"WR DM0 4\r", "WR DM5 7\r", "ST 1909\r"} + kBar + kFlags);
    EXPECT_EQ(AttrAt(60, 10), c.afterB) << "the screen drawn anew after B";
    Fresh("i" + c.typed + "\r__x~n\0C"s, c.dosVersion);  // waits for c alone, not F9 (0 and C)
    EXPECT_THROW(MacroScreen(), console::OutOfKeys);
    ExpectRows(20, {"Ready    Cassette Number : " + c.typed, "       OK", "Please 11 22",
                    "25     Press c to continue"});
    EXPECT_EQ(AttrAt(60, 24), c.iWindow) << "I's window";
    ExpectSent(
        kBar + kFlags + kBar +
        Lines{"WR DM0 " + c.word + "\r", "RD 1915\r", "ST 1908\r", "RD DM121\r", "RD DM120\r"});
  }
}

}  // namespace
