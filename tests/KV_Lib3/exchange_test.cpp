#include "KV_Lib3/exchange.h"

#include <deque>

#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "comLib3/serial.h"
#include "support/virtual_world.h"

namespace {

// A line whose replies the test writes byte for byte, with their arrival delays.
class ScriptedDevice : public SerialDevice {
 public:
  struct Reply {
    std::string bytes;
    int64_t delayMicros = 1000;
  };
  explicit ScriptedDevice(console::Clock& clock) : clock_(clock) {}
  bool Configure(const LineSettings&, int&) override { return true; }
  void Purge() override { ++purges; }
  void Write(std::string_view bytes) override {
    writes.emplace_back(bytes);
    writeTimes.push_back(clock_.NowMicros() / 1000);
  }
  std::string Read(size_t max, int64_t window) override {
    int64_t start = clock_.NowMicros();
    if (replies.empty() || replies.front().delayMicros > window) {
      clock_.SleepUntil(start + window);
      if (!replies.empty()) replies.pop_front();
      return "";
    }
    Reply r = replies.front();
    replies.pop_front();
    if (r.bytes.size() >= max) {
      clock_.SleepUntil(start + r.delayMicros);
      return r.bytes.substr(0, max);
    }
    clock_.SleepUntil(start + window);
    return r.bytes;
  }
  std::deque<Reply> replies;
  std::vector<std::string> writes;
  std::vector<int64_t> writeTimes;
  int purges = 0;

 private:
  console::Clock& clock_;
};

class ExchangeTest : public VirtualWorld {
 protected:
  ScriptedDevice& Scripted() {
    auto device = std::make_unique<ScriptedDevice>(clock);
    ScriptedDevice* raw = device.get();
    ComHandles[1] = std::move(device);
    PortNo = 1;
    return *raw;
  }
};

TEST_F(ExchangeTest, RepliesLoseTheirLineEndAndShortOnesAreRetried) {
  struct Case {
    std::vector<std::string> replies;
    std::string result;
    size_t writes;
  } cases[] = {
      {{"1\r\n"}, "1", 1},
      {{"X"}, "X", 1},                    // one character stays as it is
      {{"AB", "AB", "AB", "AB"}, "", 4},  // two characters: empty, retried
      {{"E1\r\n", "E1\r\n", "E1\r\n", "E1\r\n"}, "E1", 4},
      {{"E1\r\n", "E1\r\n", "E1\r\n", "OK\r\n"}, "OK", 4},
      {{std::string("\0\xff"
                    "7\r\n",
                    5)},
       std::string("\0\xff"
                   "7",
                   3),
       1},          // any byte survives
      {{}, "", 4},  // silent controller
  };
  for (const auto& c : cases) {
    ScriptedDevice& device = Scripted();
    for (const auto& r : c.replies) device.replies.push_back({r});
    EXPECT_EQ(PlcExchange(1, "RD 5"), c.result);
    EXPECT_EQ(device.writes.size(), c.writes);
  }
}

TEST_F(ExchangeTest, FourAttemptsWithAPauseBeforeTheLastRead) {
  ScriptedDevice& device = Scripted();
  int64_t start = NowMs();
  EXPECT_EQ(PlcExchange(1, "CR"), "");
  EXPECT_EQ(device.writes, std::vector<std::string>(4, "CR\r"));
  // Three 55 ms windows, then the 100 ms pause, then the last window.
  EXPECT_EQ(device.writeTimes, (std::vector<int64_t>{0, 55, 110, 165}));
  EXPECT_EQ(NowMs() - start, 320);
  EXPECT_EQ(device.purges, 5);  // once before the loop and before every write
}

TEST_F(ExchangeTest, AFullReadEndsBeforeTheWindow) {
  ScriptedDevice& device = Scripted();
  device.replies.push_back({std::string(60, '7'), 20000});
  EXPECT_EQ(PlcExchange(1, "RD DM1"), std::string(48, '7'));  // 50 read, line end cut
  EXPECT_EQ(NowMs(), 20);
}

TEST_F(ExchangeTest, EscAbortSendsNothing) {
  ScriptedDevice& device = Scripted();
  EscAbort = true;
  EXPECT_EQ(PlcExchange(1, "ST 1801"), "");
  EXPECT_TRUE(device.writes.empty());
  EXPECT_EQ(NowMs(), 0);
  EscAbort = false;
  EXPECT_EQ(PlcExchange(5, "CR"), "");    // never opened
  EXPECT_EQ(PlcExchange(200, "CR"), "");  // outside the table: no crash either
}

TEST_F(ExchangeTest, NegativeNumbersGoOutInSixteenBitForm) {
  struct Case {
    const char* command;
    const char* sent;
  } cases[] = {
      {"WR DM100 -1", "WR DM100 65535\r"}, {"WR DM7 -300", "WR DM7 65236\r"},
      {"WR DM7 -0", "WR DM7 0\r"},         {"RS 5", "RS 5\r"},
      {"WR DM1 -5 7", "WR DM1 65531\r"},   {"ST -1915", "ST 63621\r"},
      {"WR DM0 -70000", "WR DM0 61072\r"}, {"RD -x", "RD 0\r"},
  };
  for (const auto& c : cases) {
    ScriptedDevice& device = Scripted();
    device.replies.push_back({"OK\r\n"});
    std::string command = c.command;
    PlcExchange(1, command);
    EXPECT_EQ(device.writes.at(0), c.sent);
    EXPECT_EQ(command, c.command) << "the caller's text stays as it was";
  }
}

using LinkTest = VirtualWorld;

TEST_F(LinkTest, CommandTextsOnTheLine) {
  OpenSimPort();
  std::string reply;
  SetRelay(1, 1915, reply);
  ResetRelay(1, 5, reply);
  ReadRelay(1, 1915, reply);
  ReadTimer(1, 12, reply);
  WriteDM(1, 0, 65535, reply);
  ReadDM(1, 109, reply);
  CommRequest(1, reply);
  CommQuit(1, reply);
  plc.SetTimerDone(12, true);
  EXPECT_EQ(ReadTimer(1, 12), "1");  // the contact only
  EXPECT_EQ(Sent(),
            (std::vector<std::string>{"ST 1915\r", "RS 5\r", "RD 1915\r", "RD T12\r",
                                      "WR DM0 65535\r", "RD DM109\r", "CR\r", "CQ\r", "RD T12\r"}));
}

TEST_F(LinkTest, LateAndBrokenControllers) {
  OpenSimPort();
  line.faults.lateMicros = 80000;  // the answer to the first attempt lands in the second
  EXPECT_EQ(PlcExchange(1, "RD DM109"), "1234");
  EXPECT_EQ(Sent().size(), 2u);
  line.faults.lateMicros = 0;
  clock.Advance(200000);  // let the answer to the second attempt come and go
  line.faults.errorAnswers = 3;
  EXPECT_EQ(PlcExchange(1, "RD DM109"), "1234");
  line.faults.overlong = true;
  EXPECT_EQ(PlcExchange(1, "RD DM109").size(), 48u);
  line.faults.overlong = false;
  line.faults.goneAtMicros = clock.NowMicros();
  int64_t start = NowMs();
  EXPECT_EQ(PlcExchange(1, "CR"), "");
  EXPECT_EQ(NowMs() - start, 100);  // only the pause before the last read costs time
}

TEST_F(LinkTest, WaitRelayPollsEveryTwoTenths) {
  OpenSimPort();
  int64_t start = NowMs();
  WaitRelay(1, 1915);  // already on: still one pause and one poll
  EXPECT_EQ(Sent(), std::vector<std::string>{"RD 1915\r"});
  EXPECT_GE(NowMs() - start, 200);
  Mark();
  plc.SetRelay(1915, false);
  WaitRelay(1, -1915);
  EXPECT_EQ(SentSinceMark(), std::vector<std::string>{"RD 1915\r"});
  EscAbort = true;
  start = NowMs();
  WaitRelay(1, 1915);
  EXPECT_EQ(NowMs() - start, 100);
  EXPECT_TRUE(SentSinceMark().empty());
}

TEST_F(LinkTest, WaitTimerCountsPolls) {
  OpenSimPort();
  plc.SetTimerDone(20, true);
  EXPECT_EQ(WaitTimer(1, 20), 1);
  EscAbort = true;
  plc.SetTimerDone(20, false);
  int64_t start = NowMs();
  EXPECT_EQ(WaitTimer(1, 20), 1);
  EXPECT_EQ(NowMs() - start, 100);
  EscAbort = false;
  keys.Pause(1000000);
  keys.Key(kEsc);
  EXPECT_GT(WaitTimer(1, 20), 3);  // ends on the Esc
  EXPECT_TRUE(EscAbort);
}

TEST(TextToIntRule, ReadsWhatANumberStartsWith) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {{"", 0},
               {"  42", 42},
               {"-17", -17},
               {"+8", 8},
               {"$1F", 31},
               {"0x1f", 31},
               {"12ab", 12},
               {"E1", 0},
               {"1234\r", 1234},
               {"0x", 0},
               {"$", 0},
               {"2147483647", 2147483647},
               {"99999999999", 999999999},
               {"-2147483648", INT32_MIN}};
  for (const auto& c : cases) EXPECT_EQ(TextToInt(c.text), c.value) << c.text;
}
}  // namespace
