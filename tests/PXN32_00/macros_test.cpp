#include <algorithm>
#include <cctype>
#include <string>
#include <tuple>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "console/virtual_backend.h"
#include "support/virtual_world.h"

namespace {

const std::string kStatus = "RD DM200\rRD 1915\r", kFlags = "RD 1814\rRD 1815\rRD 1915\r";
const std::string kMacroI = "RD 1915\rST 1908\rRD DM121\rRD DM120\r";  // after the entry
const std::string kTable =                                             // rows 2 to 17
    "Function           Command    Key|\n|\n"
    "Rot. Position      WR DM0 x  1..9|\nEnable Rotation    WR DM0 0     0|\n"
    "Gate Open          ST 1901      O|\nGate Close         ST 1902      C|\n"
    "End Access         ST 1903      E|\nBCR                RS 1909      B|\n"
    "CarAct ON          ST 1801      A|\nSystem Reset       ST 1900      R|\n|\n"
    "Quit               --         esc|\n|\n|\n|\n|\n";
// Rows 2 to 22 with the values of 1814, 1815 and 1915, or none.
std::string Screen(const std::string& flags) {
  const char* labels[] = {"ErrorFlag  [1814]", "PlateReady [1815]", "Ready      [1915]"};
  std::string text = kTable;
  for (size_t i = 0; i < 3; ++i)
    text += labels[i] + (flags.empty() ? "" : " " + flags.substr(i, 1)) + "|\n";
  return text + "|\nPlease Select ->|\n";
}

class MacroScreenTest : public VirtualWorld {
 protected:
  // A fresh run with the keys of `script` waiting: '~' is Esc, '_' a second's pause.
  void Fresh(std::string_view script, uint16_t dosVersion = 10, int64_t keysAtMs = 0) {
    Configure(plcsim::SimConfig{});
    ResetProgramGlobals();
    OpenSimPort();
    DosVersionWord = dosVersion;
    plc.SetDm(120, 11);
    plc.SetDm(121, 22);
    Mark();
    keys.Pause(keysAtMs * 1000);
    for (char k : script)
      k == '_' ? keys.Pause(1000000) : keys.Key(k == '~' ? kKeyEsc : static_cast<unsigned char>(k));
  }
  std::string Wire(bool withReads = true) {
    std::string wire;
    for (const std::string& s : SentSinceMark())
      if (withReads || s.rfind("RD ", 0) != 0) wire += s;
    return wire;
  }
  // Rows trimmed, from column `col`, each ended by "|".
  std::string Rows(int from, int to, size_t col = 1) const {
    std::string text;
    for (int r = from; r <= to; ++r) text += RowTrim(r).erase(0, col - 1) + "|\n";
    return text;
  }
};

TEST_F(MacroScreenTest, EachCommandKeySendsItsCommandAndShowsItOnRow24) {
  using Case = std::pair<std::string, std::string>;  // keys, command (none: nothing but reads)
  const Case cases[] = {
      {"a", "ST 1801"}, {"C", "ST 1902"}, {"e", "ST 1903"},
      {"f", "RS 1907"}, {"l", "RS 1810"}, {"o", "ST 1901"},
      {"P", "ST 1810"}, {"r", "ST 1900"}, {"s", "ST 1907"},
      {"", ""},         {"q", ""},        {"0", ""},
      {"7", ""},        {"\n\a", ""},     {std::string("\0P_\0R", 5), ""}};  // Down, Ins
  for (const auto& [typed, command] : cases) {
    Fresh(typed + "__~");
    MacroScreen();
    EXPECT_EQ(Wire(false), command.empty() ? "" : command + "\r") << typed;
    std::string row24 =
        command.empty() ? "" : char(std::toupper(typed[0])) + ("  " + command + " OK");
    EXPECT_EQ(Rows(2, 24), Screen("001") + "-21|\n" + row24 + "|\n") << typed;  // Esc: 27 - 48
  }
}

TEST_F(MacroScreenTest, Row23ShowsKeyValuesAndEveryOtherCycleTakesTheNulOfAnIdleOne) {
  // A cycle takes about half a second; the last case: the row is not cleared before a value.
  using Case = std::tuple<int64_t, std::string, int64_t, std::string>;  // key at, keys, run, row
  const Case cases[] = {{0, "q", 800, "33"},     {0, "\xE1", 800, "177"}, {0, "", 800, ""},
                        {0, "", 1300, "-48"},    {0, "q", 1300, "33"},    {0, "q", 1800, "-48"},
                        {1750, "7", 2600, "748"}};
  for (const auto& [keyAtMs, typed, runMs, row23] : cases) {
    Fresh(typed, 10, keyAtMs);
    clock.SetLimit(clock.NowMicros() + runMs * 1000);
    EXPECT_THROW(MacroScreen(), console::VirtualTimeExceeded);
    clock.SetLimit(int64_t{24} * 3600 * 1000000);
    EXPECT_EQ(RowTrim(23), row23) << typed << " for " << runMs;
  }
}

TEST_F(MacroScreenTest, AKeyActsOnlyInACycleWithoutAWaitingNul) {
  for (int64_t arrivalMs : {0, 800, 1300, 1750, 2200}) {
    Fresh("A__~", 10, arrivalMs);
    MacroScreen();
    std::vector<std::string> sent = SentSinceMark();
    auto at = std::find(sent.begin(), sent.end(), "ST 1801\r");
    ASSERT_NE(at, sent.end()) << arrivalMs;
    EXPECT_EQ(std::count(sent.begin(), at, "RD 1814\r") % 2, 1) << "cycle, key at " << arrivalMs;
  }
}

TEST_F(MacroScreenTest, MacrosBAndIAskInTheirSubWindowsInEitherColourSchemeThenRedraw) {
  // Low byte above 6: new scheme; attributes of blank cells; entries as unsigned 16-bit words.
  using Case = std::tuple<int, int, int, int, std::string, std::string>;
  const Case cases[] = {{10, 0x11, 0x11, 0x71, "65536", "0"},
                        {6, 0x71, 0xF1, 0x01, "70000", "4464"},
                        {0x0A06, 0x71, 0xF1, 0x01, "-1", "65535"},
                        {0x0607, 0x11, 0x11, 0x71, "3", "3"}};
  for (const auto& [dosVersion, bAttr, iAttr, after, typed, word] : cases) {
    const std::string entry = kStatus + kFlags + "RD 1915\r" + kStatus + "WR DM0 4\r";
    Fresh("b_4\r", dosVersion);
    EXPECT_THROW(MacroScreen(), console::OutOfKeys);  // at the level prompt
    EXPECT_EQ(Rows(20, 23, 8), "  Cassette Number : 4|\nOK|\n|\n  Level Number :|\n");
    EXPECT_EQ(Row(20).substr(0, 7), "Ready  ") << "left of the sub-window stays";
    EXPECT_EQ(AttrAt(8, 18), 0x4E);
    EXPECT_EQ(AttrAt(10, 20), 0x71) << "entries in the normal colours";
    EXPECT_EQ(AttrAt(60, 24), bAttr) << dosVersion;
    EXPECT_EQ(AttrAt(72, 25), bAttr) << dosVersion;
    EXPECT_EQ(Wire(), entry);

    Fresh("B_4\r7\r~", dosVersion);
    MacroScreen();
    EXPECT_EQ(Wire(), entry + "WR DM5 7\rST 1909\r" + kStatus + kFlags);
    EXPECT_EQ(Rows(2, 24), Screen("000") + "-21|\n|\n") << "the macro's key is gone";
    EXPECT_EQ(AttrAt(60, 10), after) << dosVersion;

    Fresh("i" + typed + std::string("\r__x~n\0C", 9), dosVersion);  // F9: 0 and the code of C
    EXPECT_THROW(MacroScreen(), console::OutOfKeys);
    EXPECT_EQ(Rows(20, 23, 8),
              "  Cassette Number : " + typed + "|\nOK|\n11 22|\nPress c to continue|\n");
    EXPECT_EQ(AttrAt(60, 24), iAttr) << dosVersion;
    const std::string macroI = kStatus + kFlags + kStatus + "WR DM0 " + word + "\r" + kMacroI;
    EXPECT_EQ(Wire(), macroI);

    Fresh("I" + typed + "\r__xc~", dosVersion);
    MacroScreen();
    EXPECT_EQ(Wire(), macroI + kStatus + kFlags);
    EXPECT_EQ(AttrAt(60, 10), after) << dosVersion;
  }
}

TEST_F(MacroScreenTest, EscInTheWaitForReadyRunsTheMacroOnUnsentThenOneCycleOfARedraw) {
  for (auto [script, macro] : {std::pair<std::string, std::string>{"b~4\r7\r", "RD 1915\r"},
                               {"i3\r~c", kStatus + "WR DM0 3\rRD 1915\r"}}) {
    Fresh(script);
    MacroScreen();
    EXPECT_EQ(Wire(), kStatus + kFlags + macro) << script;
    EXPECT_EQ(keys.Pending(), 0u) << script << ": the macro still asked for its entries";
    // No status line, no flag values, and the last cycle took no key.
    EXPECT_EQ(Rows(1, 24), "|\n" + Screen("") + "|\n|\n") << script;
  }
}

}  // namespace
