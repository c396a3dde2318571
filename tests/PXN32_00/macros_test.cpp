#include <algorithm>
#include <string>
#include <vector>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "console/clock.h"
#include "console/virtual_backend.h"
#include "support/virtual_world.h"

namespace {

using Requests = std::vector<std::string>;

constexpr int64_t kSecond = 1000000;
constexpr uint16_t kNewScheme = 10, kOldScheme = 6;
const Requests kStatus = {"RD DM200\r", "RD 1915\r"};
const Requests kFlags = {"RD 1814\r", "RD 1815\r", "RD 1915\r"};

Requests Join(std::initializer_list<Requests> parts) {
  Requests all;
  for (const Requests& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const char* const kTableRows[] = {
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
};

class MacroScreenTest : public VirtualWorld {
 protected:
  void SetUp() override { Fresh(kNewScheme); }
  // A new run on the same clock: a fresh controller and program state, the port open,
  // the wire marked.
  void Fresh(uint16_t dosVersion) {
    Configure(plcsim::SimConfig{});
    ResetProgramGlobals();
    OpenSimPort();
    DosVersionWord = dosVersion;
    plc.SetDm(120, 11);
    plc.SetDm(121, 22);
    Mark();
  }
  // Runs the screen until the clock passes `micros` from now, then shows what it drew.
  void RunFor(int64_t micros) {
    clock.SetLimit(clock.NowMicros() + micros);
    EXPECT_THROW(MacroScreen(), console::VirtualTimeExceeded);
    clock.SetLimit(int64_t{24} * 3600 * kSecond);
  }
  // Part of a row inside the macro sub-window (screen columns 8 to 72), blanks cut.
  std::string SubRow(int row) const {
    std::string text = Row(row).substr(7, 65);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
  std::string RelayText(int relay) const { return plc.Relay(relay) ? "1" : "0"; }
  // The key table, and the flags as the controller shows them now.
  void ExpectTableAndFlags() {
    for (int i = 0; i < static_cast<int>(std::size(kTableRows)); ++i)
      EXPECT_EQ(RowTrim(i + 2), kTableRows[i]) << "row " << i + 2;
    for (int row = 14; row <= 17; ++row) EXPECT_EQ(RowTrim(row), "") << "row " << row;
    EXPECT_EQ(RowTrim(18), "ErrorFlag  [1814] " + RelayText(1814));
    EXPECT_EQ(RowTrim(19), "PlateReady [1815] " + RelayText(1815));
    EXPECT_EQ(RowTrim(20), "Ready      [1915] " + RelayText(1915));
    EXPECT_EQ(RowTrim(21), "");
    EXPECT_EQ(Row(22).substr(0, 19), "Please Select ->   ");
  }
  int CyclesBefore(const Requests& sent, const std::string& command) {
    auto at = std::find(sent.begin(), sent.end(), command);
    return static_cast<int>(std::count(sent.begin(), at, "RD 1814\r"));
  }
};

TEST_F(MacroScreenTest, DrawsTableAndFlagsAndEscEndsTheCycle) {
  keys.Key(kKeyEsc);
  MacroScreen();
  EXPECT_EQ(SentSinceMark(), Join({kStatus, kFlags}));
  EXPECT_EQ(RowTrim(1), "Plaxon    ComPort 1  SNr. 0  SysStat 0000    Ready 1" +
                            std::string(20, ' ') + "10:00:00");
  ExpectTableAndFlags();
  EXPECT_EQ(RowTrim(23), "-21");  // Esc is a key like any other: 27 - 48
  EXPECT_EQ(RowTrim(24), "");
  EXPECT_EQ(AttrAt(1, 2), 0x71);
}

TEST_F(MacroScreenTest, CommandKeysSendTheirCommandAndShowItOnRow24) {
  constexpr int kDeviceJob = -1;  // the device drops the relay when the job is done
  struct Case {
    char key;
    std::string command;  // empty: nothing is sent
    std::string row24;
    int relay;
    bool onAfterwards;
  } cases[] = {
      {'a', "ST 1801\r", "A  ST 1801 OK", 1801, true},
      {'C', "ST 1902\r", "C  ST 1902 OK", kDeviceJob, false},
      {'e', "ST 1903\r", "E  ST 1903 OK", kDeviceJob, false},
      {'f', "RS 1907\r", "F  RS 1907 OK", 1907, false},
      {'l', "RS 1810\r", "L  RS 1810 OK", 1810, false},
      {'o', "ST 1901\r", "O  ST 1901 OK", kDeviceJob, false},
      {'P', "ST 1810\r", "P  ST 1810 OK", 1810, true},
      {'r', "ST 1900\r", "R  ST 1900 OK", kDeviceJob, false},
      {'s', "ST 1907\r", "S  ST 1907 OK", 1907, true},
      {'q', "", "", kDeviceJob, false},
      {'0', "", "", kDeviceJob, false},
      {'7', "", "", kDeviceJob, false},
  };
  for (const Case& c : cases) {
    Fresh(kNewScheme);
    plc.SetRelay(1907, !c.onAfterwards);
    plc.SetRelay(1810, !c.onAfterwards);
    keys.Key(c.key);
    keys.Pause(2 * kSecond);
    keys.Key(kKeyEsc);
    MacroScreen();
    Requests sent = SentSinceMark();
    Requests commands;
    for (const std::string& s : sent)
      if (s != "RD 1814\r" && s != "RD 1815\r" && s != "RD 1915\r" && s != "RD DM200\r")
        commands.push_back(s);
    EXPECT_EQ(commands, c.command.empty() ? Requests{} : Requests{c.command}) << c.key;
    EXPECT_EQ(RowTrim(24), c.row24) << c.key;
    if (c.relay != kDeviceJob) {
      EXPECT_EQ(plc.Relay(c.relay), c.onAfterwards) << c.key;
    }
  }
}

TEST_F(MacroScreenTest, Row23ShowsKeyValuesAndTheNulOfIdleCycles) {
  // A cycle takes about half a second: two relay reads short of a third, then 300 ms.
  struct Case {
    int64_t keyAfterMicros;
    std::string typed;
    int64_t runMicros;
    std::string row23;
  } cases[] = {
      {0, "q", 800 * 1000, "33"},              // Q taken by the first cycle
      {0, "7", 800 * 1000, "7"},               // digits send nothing but show their value
      {0, "\xE1", 800 * 1000, "177"},          // a byte above 127 counts from 0 to 255
      {0, "", 800 * 1000, ""},                 // an idle first cycle writes nothing
      {0, "", 1300 * 1000, "-48"},             // the second takes the NUL the first one left
      {0, "q", 1300 * 1000, "33"},             // after a key the next cycle is idle
      {0, "q", 1800 * 1000, "-48"},            // and the one after takes its NUL
      {1750 * 1000, "7", 2600 * 1000, "748"},  // the row is not cleared before a value
  };
  for (const Case& c : cases) {
    Fresh(kNewScheme);
    keys.Pause(c.keyAfterMicros);
    keys.Type(c.typed);
    RunFor(c.runMicros);
    EXPECT_EQ(RowTrim(23), c.row23) << c.typed << " for " << c.runMicros;
    for (const std::string& s : SentSinceMark())
      EXPECT_TRUE(s.rfind("RD ", 0) == 0) << "nothing but reads: " << s;
  }
}

TEST_F(MacroScreenTest, KeysAreTakenOnlyByCyclesWithoutAWaitingNul) {
  // Cycles that take the NUL left by an idle cycle take no key: whenever a key
  // arrives, it acts in an odd-numbered cycle.
  for (int64_t arrival : {0LL, 800 * 1000LL, 1300 * 1000LL, 1750 * 1000LL, 2200 * 1000LL}) {
    Fresh(kNewScheme);
    keys.Pause(arrival);
    keys.Key('A');
    keys.Pause(2 * kSecond);
    keys.Key(kKeyEsc);
    MacroScreen();
    int cycle = CyclesBefore(SentSinceMark(), "ST 1801\r");
    EXPECT_EQ(cycle % 2, 1) << "key arriving at " << arrival << " acted in cycle " << cycle;
  }
}

TEST_F(MacroScreenTest, ExtendedAndControlKeysSendNothing) {
  // Down (0, 50h) and Ins (0, 52h) carry the codes of P and R in their second half.
  keys.Key(0);
  keys.Key(0x50);
  keys.Pause(1 * kSecond);
  keys.Key(0);
  keys.Key(0x52);
  keys.Pause(1 * kSecond);
  keys.Key(10);
  keys.Key(7);
  keys.Pause(2 * kSecond);
  keys.Key(kKeyEsc);
  MacroScreen();
  for (const std::string& s : SentSinceMark())
    EXPECT_TRUE(s.rfind("RD ", 0) == 0) << "nothing but reads: " << s;
  EXPECT_FALSE(plc.Relay(1810));
  EXPECT_EQ(RowTrim(24), "");
}

struct SchemeCase {
  uint16_t dosVersion;
  uint8_t macroBSubWindow, macroISubWindow, afterwards;  // attributes of blank cells
};

// Low byte above 6 is the new scheme; the high byte does not count.
const SchemeCase kSchemes[] = {
    {kNewScheme, 0x11, 0x11, 0x71},
    {kOldScheme, 0x71, 0xF1, 0x01},
    {0x0A06, 0x71, 0xF1, 0x01},
    {0x0607, 0x11, 0x11, 0x71},
};

TEST_F(MacroScreenTest, MacroBAsksInItsSubWindowThenWritesDm0Dm5AndSetsRelay1909) {
  for (const SchemeCase& scheme : kSchemes) {
    Fresh(scheme.dosVersion);
    keys.Key('b');
    keys.Pause(1 * kSecond);  // after the wait for Ready has looked at the keyboard
    keys.Type("4\r");
    EXPECT_THROW(MacroScreen(), console::OutOfKeys);  // stops at the level prompt
    EXPECT_EQ(SubRow(18).substr(0, 52), "Plaxon    ComPort 1  SNr. 0  SysStat 0000    Ready 1");
    EXPECT_EQ(AttrAt(8, 18), 0x4E);  // yellow on red
    EXPECT_EQ(SubRow(20), "  Cassette Number : 4");
    EXPECT_EQ(SubRow(21), "OK");
    EXPECT_EQ(SubRow(22), "");
    EXPECT_EQ(SubRow(23), "  Level Number :");
    EXPECT_EQ(AttrAt(10, 20), 0x71) << "entries in the normal colours";
    EXPECT_EQ(AttrAt(60, 24), scheme.macroBSubWindow) << scheme.dosVersion;
    EXPECT_EQ(AttrAt(72, 25), scheme.macroBSubWindow) << scheme.dosVersion;
    EXPECT_EQ(Row(20).substr(0, 7), "Ready  ") << "left of the sub-window stays";
    EXPECT_EQ(Row(22).substr(0, 7), "Please ");
    EXPECT_EQ(SentSinceMark(), Join({kStatus, kFlags, {"RD 1915\r"}, kStatus, {"WR DM0 4\r"}}));
  }
}

TEST_F(MacroScreenTest, MacroBRedrawsTheWholeScreenAndCyclesOn) {
  for (const SchemeCase& scheme : kSchemes) {
    Fresh(scheme.dosVersion);
    keys.Key('B');
    keys.Pause(1 * kSecond);
    keys.Type("4\r7\r");
    keys.Key(kKeyEsc);
    MacroScreen();
    EXPECT_EQ(SentSinceMark(), Join({kStatus,
                                     kFlags,
                                     {"RD 1915\r"},
                                     kStatus,
                                     {"WR DM0 4\r", "WR DM5 7\r", "ST 1909\r"},
                                     kStatus,
                                     kFlags}));
    EXPECT_EQ(Row(1).substr(0, 6), "Plaxon");
    ExpectTableAndFlags();
    EXPECT_EQ(RowTrim(23), "-21");
    EXPECT_EQ(RowTrim(24), "") << "the macro's key is gone with the redraw";
    EXPECT_EQ(AttrAt(60, 10), scheme.afterwards) << scheme.dosVersion;
    EXPECT_EQ(AttrAt(1, 2), 0x71);
  }
  EXPECT_EQ(plc.Dm(0), 4);
  EXPECT_EQ(plc.Dm(5), 7);
  EXPECT_TRUE(plc.Relay(1909));
}

TEST_F(MacroScreenTest, MacroIShowsDm120AndDm121AndWaitsForC) {
  for (const SchemeCase& scheme : kSchemes) {
    Fresh(scheme.dosVersion);
    keys.Type("i3\r");
    keys.Pause(2 * kSecond);  // after the wait for Ready
    keys.Type("x");
    keys.Key(kKeyEsc);
    keys.Type("n");
    keys.Key(0);
    keys.Key(0x43);  // F9: its scan code is a C
    EXPECT_THROW(MacroScreen(), console::OutOfKeys) << "still waiting for c";
    EXPECT_EQ(SubRow(20), "  Cassette Number : 3");
    EXPECT_EQ(SubRow(21), "OK");
    EXPECT_EQ(SubRow(22), "11 22");
    EXPECT_EQ(SubRow(23), "Press c to continue");
    EXPECT_EQ(AttrAt(60, 24), scheme.macroISubWindow) << scheme.dosVersion;
    EXPECT_EQ(SentSinceMark(),
              Join({kStatus,
                    kFlags,
                    kStatus,
                    {"WR DM0 3\r", "RD 1915\r", "ST 1908\r", "RD DM121\r", "RD DM120\r"}}));
  }
  EXPECT_TRUE(plc.Relay(1908));
}

TEST_F(MacroScreenTest, MacroIContinuesOnCAndRedraws) {
  for (const SchemeCase& scheme : kSchemes) {
    Fresh(scheme.dosVersion);
    keys.Type("I3\r");
    keys.Pause(2 * kSecond);
    keys.Type("xc");
    keys.Key(kKeyEsc);
    MacroScreen();
    Requests sent = SentSinceMark();
    Requests tail(sent.end() - 5, sent.end());
    EXPECT_EQ(tail, Join({kStatus, kFlags}));
    ExpectTableAndFlags();
    EXPECT_EQ(RowTrim(24), "");
    EXPECT_EQ(AttrAt(60, 10), scheme.afterwards) << scheme.dosVersion;
  }
}

TEST_F(MacroScreenTest, EntriesGoOutAsUnsigned16BitWords) {
  struct Case {
    std::string typed;
    std::string command;
    bool invalidShown;
  } cases[] = {
      {"3\r", "WR DM0 3\r", false},
      {"65535\r", "WR DM0 65535\r", false},
      {"65536\r", "WR DM0 0\r", false},
      {"70000\r", "WR DM0 4464\r", false},
      {"-1\r", "WR DM0 65535\r", false},
      {"-300\r", "WR DM0 65236\r", false},
      {"abc\r3\r", "WR DM0 3\r", true},
      {"12x\r3\r", "WR DM0 3\r", true},
      {"99999999999\r3\r", "WR DM0 3\r", true},
  };
  for (const Case& c : cases) {
    Fresh(kNewScheme);
    keys.Key('i');
    keys.Type(c.typed);
    EXPECT_THROW(MacroScreen(), console::OutOfKeys) << c.typed;  // at "Press c"
    Requests sent = SentSinceMark();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), c.command), 1) << c.typed;
    int writes = static_cast<int>(std::count_if(
        sent.begin(), sent.end(), [](const std::string& s) { return s.rfind("WR ", 0) == 0; }));
    EXPECT_EQ(writes, 1) << c.typed;
    EXPECT_EQ(SubRow(21) == "Invalid numeric input", c.invalidShown) << c.typed;
  }
}

TEST_F(MacroScreenTest, EscDuringTheWaitForReadyRunsTheMacroOnWithoutSending) {
  struct Case {
    std::string name;
    std::string typed;  // Esc marked by '~'
    Requests macroSent;
  } cases[] = {
      {"B", "b~4\r7\r", {"RD 1915\r"}},
      {"I", "i3\r~c", Join({kStatus, {"WR DM0 3\r", "RD 1915\r"}})},
  };
  for (const Case& c : cases) {
    Fresh(kNewScheme);
    for (char k : c.typed) keys.Key(k == '~' ? kKeyEsc : k);
    MacroScreen();
    EXPECT_EQ(SentSinceMark(), Join({kStatus, kFlags, c.macroSent})) << c.name;
    EXPECT_EQ(keys.Pending(), 0u) << c.name << ": the macro still asked for its entries";
    EXPECT_EQ(RowTrim(1), "") << c.name << ": redrawn without a status line";
    for (int i = 0; i < static_cast<int>(std::size(kTableRows)); ++i)
      EXPECT_EQ(RowTrim(i + 2), kTableRows[i]) << c.name;
    EXPECT_EQ(RowTrim(18), "ErrorFlag  [1814]") << c.name;
    EXPECT_EQ(RowTrim(23), "") << c.name << ": the last cycle took no key";
  }
  EXPECT_FALSE(plc.Relay(1909));
  EXPECT_FALSE(plc.Relay(1908));
  EXPECT_EQ(plc.Dm(5), 0);
}

}  // namespace
