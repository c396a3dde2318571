#include <cctype>
#include <string>
#include <tuple>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "support/virtual_world.h"

namespace {

using namespace std::string_literals;
const std::string kStatus = "RD DM200\rRD 1915\r", kFlags = "RD 1814\rRD 1815\rRD 1915\r";
const std::string kTable =  // rows 2 to 17
    "Function           Command    Key|\n|\n"
    "Rot. Position      WR DM0 x  1..9|\nEnable Rotation    WR DM0 0     0|\n"
    "Gate Open          ST 1901      O|\nGate Close         ST 1902      C|\n"
    "End Access         ST 1903      E|\nBCR                RS 1909      B|\n"
    "CarAct ON          ST 1801      A|\nSystem Reset       ST 1900      R|\n|\n"
    "Quit               --         esc|\n|\n|\n|\n|\n";

class MacroScreenTest : public VirtualWorld {
 protected:
  void Fresh(std::string_view script, uint16_t dosVersion = 10) {  // '~': Esc, '_': 1 s pause
    Configure();
    ResetProgramGlobals();
    OpenSimPort();
    DosVersionWord = dosVersion;
    plc.SetDm(120, 11), plc.SetDm(121, 22);
    Mark();
    for (char k : script)
      k == '_' ? keys.Pause(1000000) : keys.Key(k == '~' ? kKeyEsc : static_cast<unsigned char>(k));
  }
  std::string Wire(bool withReads = true) {
    std::string wire;
    for (const std::string& s : SentSinceMark()) wire += withReads || s.rfind("RD ", 0) ? s : "";
    return wire;
  }
  std::string Rows(int from, int to) const {
    std::string text;
    for (int r = from; r <= to; ++r) text += RowTrim(r) + "|\n";
    return text;
  }
};

TEST_F(MacroScreenTest, CommandKeysShowOnRow24AndRow23KeyValuesWithAnIdleNulEveryOtherCycle) {
  // Keys (Down and Ins last but one), all but reads sent. I: c ends the wait, its key is gone.
  using Case = std::pair<std::string, std::string>;
  const Case cases[] = {
      {"a", "ST 1801"}, {"C", "ST 1902"}, {"e", "ST 1903"}, {"f", "RS 1907"},
      {"l", "RS 1810"}, {"o", "ST 1901"}, {"P", "ST 1810"}, {"r", "ST 1900"},
      {"s", "ST 1907"}, {"", ""},         {"q", ""},        {"0", ""},
      {"7", ""},        {"\n\a", ""},     {"\0P_\0R"s, ""}, {"I3\r__xc", "WR DM0 3\rST 1908"}};
  for (const auto& [typed, sent] : cases) {
    Fresh(typed + "__~");
    MacroScreen();
    EXPECT_EQ(Wire(false), sent.empty() ? "" : sent + "\r") << typed;
    std::string row24 = sent.size() != 7 ? "" : char(toupper(typed[0])) + ("  " + sent + " OK");
    std::string f = typed[0] == 'I' ? "100" : "001";  // the cassette I asks for: an error
    EXPECT_EQ(Rows(2, 24), kTable + "ErrorFlag  [1814] " + f[0] + "|\nPlateReady [1815] " + f[1] +
                               "|\nReady      [1915] " + f[2] + "|\n|\nPlease Select ->|\n-21|\n" +
                               row24 + "|\n")
        << typed;  // Esc shows 27 - 48
  }
  using Timed = std::tuple<std::string, int64_t, std::string>;  // keys, run (a cycle: ~0.5 s), row
  const Timed timed[] = {{"q", 800, "33"},  {"\xE1", 800, "177"}, {"", 800, ""},
                         {"", 1300, "-48"}, {"q", 1800, "-48"},   {"__7", 2600, "748"}};
  for (const auto& [typed, runMs, row23] : timed) {
    Fresh(typed);
    clock.SetLimit(clock.NowMicros() + runMs * 1000);
    EXPECT_THROW(MacroScreen(), base::VirtualTimeExceeded);
    EXPECT_EQ(RowTrim(23), row23) << typed << " for " << runMs;
  }
}

TEST_F(MacroScreenTest, MacrosBAndIAskInTheirSubWindowsInEitherColourSchemeThenRedraw) {
  // Low byte above 6: new scheme (attributes of blank cells); entries as unsigned 16-bit words.
  using Case = std::tuple<int, int, int, int, std::string, std::string>;
  const Case cases[] = {{0x0A06, 0x71, 0xF1, 0x01, "70000", "4464"},
                        {0x0607, 0x11, 0x11, 0x71, "-1", "65535"}};
  for (const auto& [dosVersion, bAttr, iAttr, after, typed, word] : cases) {
    Fresh("b_4\r", dosVersion);
    EXPECT_THROW(MacroScreen(), console::OutOfKeys);  // at the level prompt
    EXPECT_EQ(Rows(20, 23),
              "Ready    Cassette Number : 4|\n       OK|\nPlease|\n18       Level Number :|\n");
    EXPECT_EQ(AttrAt(8, 18) * 256 + AttrAt(10, 20), 0x4E71) << "entries in the normal colours";
    EXPECT_EQ(AttrAt(60, 24) * 256 + AttrAt(72, 25), bAttr * 257) << dosVersion;
    Fresh("B_4\r7\r~", dosVersion);
    MacroScreen();
    EXPECT_EQ(Wire(), kStatus + kFlags + "RD 1915\r" + kStatus + "WR DM0 4\rWR DM5 7\rST 1909\r" +
                          kStatus + kFlags);
    EXPECT_EQ(AttrAt(60, 10), after) << dosVersion;
    Fresh("i" + typed + "\r__x~n\0C"s, dosVersion);  // waits for c alone, not F9 (0, code of C)
    EXPECT_THROW(MacroScreen(), console::OutOfKeys);
    EXPECT_EQ(Rows(20, 23), "Ready    Cassette Number : " + typed +
                                "|\n       OK|\nPlease 11 22|\n25     Press c to continue|\n");
    EXPECT_EQ(AttrAt(60, 24), iAttr) << dosVersion;
    EXPECT_EQ(Wire(), kStatus + kFlags + kStatus + "WR DM0 " + word +
                          "\rRD 1915\rST 1908\rRD DM121\rRD DM120\r");
  }
}

}  // namespace
