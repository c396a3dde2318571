#include <cctype>
#include <string>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "support/virtual_world.h"

namespace {

using namespace std::string_literals;
const Lines kStatus = {"RD DM200\r", "RD 1915\r"};
const Lines kFlags = {"RD 1814\r", "RD 1815\r", "RD 1915\r"};
const Lines kTable = {  // rows 2 to 17
    "Function           Command    Key",
    "",
    "Rot. Position      WR DM0 x  1..9",
    "Enable Rotation    WR DM0 0     0",
    "Gate Open          ST 1901      O",
    "Gate Close         ST 1902      C",
    "End Access         ST 1903      E",
    "BCR                RS 1909      B",
    "CarAct ON          ST 1801      A",
    "System Reset       ST 1900      R",
    "",
    "Quit               --         esc",
    "",
    "",
    "",
    ""};

// Rows 18 to 22: the flags as the controller shows them, and the prompt.
Lines FlagRows(char errorFlag, char plateReady, char ready) {
  return {std::string("ErrorFlag  [1814] ") + errorFlag,
          std::string("PlateReady [1815] ") + plateReady, std::string("Ready      [1915] ") + ready,
          "", "Please Select ->"};
}

class MacroScreenTest : public VirtualWorld {
 protected:
  // A fresh screen and controller, the keys of `script` ('~' Esc, '_' a second) to come.
  void Fresh(std::string_view script, uint16_t dosVersion = 10) {
    Configure();
    ResetProgramGlobals();
    OpenSimPort();
    DosVersionWord = dosVersion;
    plc.SetDm(120, 11);
    plc.SetDm(121, 22);
    Mark();
    Script(script);
  }
  // The requests since the mark that are not reads.
  Lines Commands() {
    Lines commands;
    for (const std::string& request : SentSinceMark())
      if (!request.starts_with("RD ")) commands.push_back(request);
    return commands;
  }
};

// Each key sends its command; the others send nothing. Row 23 shows the key's code less
// 48 (Esc at the end: -21), row 24 the command and its reply. I: c ends its wait.
TEST_F(MacroScreenTest, CommandKeysSendTheirCommandAndShowItOnRow24) {
  struct Case {
    std::string typed;
    Lines sent;
    std::string row24;
  } cases[] = {
      {"a", {"ST 1801\r"}, "A  ST 1801 OK"},
      {"C", {"ST 1902\r"}, "C  ST 1902 OK"},
      {"e", {"ST 1903\r"}, "E  ST 1903 OK"},
      {"f", {"RS 1907\r"}, "F  RS 1907 OK"},
      {"l", {"RS 1810\r"}, "L  RS 1810 OK"},
      {"o", {"ST 1901\r"}, "O  ST 1901 OK"},
      {"P", {"ST 1810\r"}, "P  ST 1810 OK"},
      {"r", {"ST 1900\r"}, "R  ST 1900 OK"},
      {"s", {"ST 1907\r"}, "S  ST 1907 OK"},
      {"", {}, ""},
      {"q", {}, ""},
      {"0", {}, ""},
      {"7", {}, ""},
      {"\n\a", {}, ""},
      {"\0P_\0R"s, {}, ""},  // Down and Ins: their scan codes are no letters
      {"I3\r__xc", {"WR DM0 3\r", "ST 1908\r"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("keys " + Escaped(c.typed));
    Fresh(c.typed + "__~");
    MacroScreen();
    EXPECT_TRUE(SameLines(Commands(), c.sent));
    const bool pick = c.typed[0] == 'I';  // the cassette I asks for stands in error
    ExpectRows(2,
               kTable + FlagRows(pick ? '1' : '0', '0', pick ? '0' : '1') + Lines{"-21", c.row24});
  }
}

// One key a cycle of about half a second; a cycle without a key leaves a NUL that the
// next cycle takes (-48).
TEST_F(MacroScreenTest, Row23ShowsTheKeyValueWithAnIdleNulEveryOtherCycle) {
  struct Case {
    std::string typed;
    int64_t runMs;
    std::string row23;
  } cases[] = {{"q", 800, "33"},  {"\xE1", 800, "177"}, {"", 800, ""},
               {"", 1300, "-48"}, {"q", 1800, "-48"},   {"__7", 2600, "748"}};
  for (const auto& c : cases) {
    SCOPED_TRACE("keys " + Escaped(c.typed) + " for " + std::to_string(c.runMs) + " ms");
    Fresh(c.typed);
    clock.SetLimit(clock.NowMicros() + c.runMs * 1000);
    EXPECT_THROW(MacroScreen(), base::VirtualTimeExceeded);
    EXPECT_EQ(RowTrim(23), c.row23);
  }
}

// Low byte of the version above 6: the new scheme. Entries go out as unsigned 16-bit words.
TEST_F(MacroScreenTest, MacrosBAndIAskInTheirSubWindowsInEitherColourSchemeThenRedraw) {
  struct Case {
    uint16_t dosVersion;
    uint8_t bWindow, iWindow, afterB;  // colours of blank cells
    std::string typed, word;
  } cases[] = {{0x0A06, 0x71, 0xF1, 0x01, "70000", "4464"},
               {0x0607, 0x11, 0x11, 0x71, "-1", "65535"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "version " << std::hex << c.dosVersion);
    Fresh("b_4\r", c.dosVersion);
    EXPECT_THROW(MacroScreen(), console::OutOfKeys);  // at the level prompt
    ExpectRows(20,
               {"Ready    Cassette Number : 4", "       OK", "Please", "18       Level Number :"});
    EXPECT_EQ(AttrAt(8, 18), 0x4E) << "the status bar";
    EXPECT_EQ(AttrAt(10, 20), 0x71) << "entries in the normal colours";
    EXPECT_EQ(AttrAt(60, 24), c.bWindow) << "B's window";
    EXPECT_EQ(AttrAt(72, 25), c.bWindow) << "B's window";

    Fresh("B_4\r7\r~", c.dosVersion);
    MacroScreen();
    ExpectSent(kStatus + kFlags + Lines{"RD 1915\r"} + kStatus +
               Lines{"WR DM0 4\r", "WR DM5 7\r", "ST 1909\r"} + kStatus + kFlags);
    EXPECT_EQ(AttrAt(60, 10), c.afterB) << "the screen drawn anew after B";

    Fresh("i" + c.typed + "\r__x~n\0C"s, c.dosVersion);  // waits for c alone, not F9 (0 and C)
    EXPECT_THROW(MacroScreen(), console::OutOfKeys);
    ExpectRows(20, {"Ready    Cassette Number : " + c.typed, "       OK", "Please 11 22",
                    "25     Press c to continue"});
    EXPECT_EQ(AttrAt(60, 24), c.iWindow) << "I's window";
    ExpectSent(
        kStatus + kFlags + kStatus +
        Lines{"WR DM0 " + c.word + "\r", "RD 1915\r", "ST 1908\r", "RD DM121\r", "RD DM120\r"});
  }
}

}  // namespace
