#include "KV_Lib3/exchange.h"

#include <deque>
#include <functional>

#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "comLib3/serial.h"
#include "support/scripted_line.h"
#include "support/virtual_world.h"

namespace {

using Reply = std::pair<std::string, int64_t>;

// A line whose replies (bytes, arrival delay in us) the test writes byte for byte.
struct ScriptedDevice : SerialDevice {
  explicit ScriptedDevice(base::Clock& c) : clock(c) {}
  bool Configure(const LineSettings&, int&) override { return true; }
  void Purge() override { ++purges; }
  void Write(std::string_view bytes) override {
    writes.emplace_back(bytes);
    writeTimes.push_back(clock.NowMicros() / 1000);
  }
  std::string Read(size_t max, int64_t window) override {
    auto [bytes, delay] = replies.empty() ? Reply{"", window} : replies.front();
    if (!replies.empty()) replies.pop_front();
    clock.SleepUntil(clock.NowMicros() + (bytes.size() >= max ? delay : window));
    return bytes.substr(0, max);
  }
  base::Clock& clock;
  std::deque<Reply> replies;
  Lines writes;
  std::vector<int64_t> writeTimes;
  int purges = 0;
};

ScriptedDevice& Scripted(base::Clock& clock, const Lines& replies = {}) {
  auto* device = new ScriptedDevice(clock);
  for (const auto& r : replies) device->replies.push_back({r, 1000});
  PortNo = 1;
  ComHandles[1].reset(device);
  return *device;
}

using ExchangeTest = VirtualWorld;

TEST_F(ExchangeTest, RepliesLoseTheirLineEndAndShortOnesAreRetried) {
  const std::string bin("\0\xff\x37\r\n", 5), e1 = "E1\r\n";
  // Any byte survives, one character stays as it is, two are empty and retried.
  std::tuple<Lines, std::string, size_t> cases[] = {
      {{"1\r\n"}, "1", 1},     {{bin}, bin.substr(0, 3), 1}, {{"X"}, "X", 1},
      {Lines(4, "AB"), "", 4}, {Lines(4, e1), "E1", 4},      {{e1, e1, e1, "OK\r\n"}, "OK", 4},
  };
  for (const auto& [replies, result, writes] : cases) {
    ScriptedDevice& device = Scripted(clock, replies);
    EXPECT_EQ(PlcExchange(1, "RD 5"), result);
    EXPECT_EQ(device.writes.size(), writes);
  }
}

TEST_F(ExchangeTest, AttemptTimingEarlyFullReadAndEscAbort) {
  ScriptedDevice* device = &Scripted(clock);
  EXPECT_EQ(PlcExchange(1, "CR"), "");
  // Three 55 ms windows, then the 100 ms pause, then the last window.
  EXPECT_EQ(device->writeTimes, (std::vector<int64_t>{0, 55, 110, 165}));
  EXPECT_EQ(NowMs(), 320);
  EXPECT_EQ(device->purges, 5);  // once before the loop and before every write
  device = &Scripted(clock);
  device->replies.push_back({std::string(60, '7'), 20000});
  EXPECT_EQ(PlcExchange(1, "RD DM1"), std::string(48, '7'));  // 50 read, line end cut
  device = &Scripted(clock, {"OK\r\n"});
  EscAbort = true;
  EXPECT_EQ(PlcExchange(1, "ST 1801"), "");
  EXPECT_TRUE(device->writes.empty());
  EXPECT_EQ(NowMs(), 320 + 20);  // the full read ends early, the Esc costs nothing
  EscAbort = false;
  EXPECT_EQ(PlcExchange(5, "CR") + PlcExchange(200, "CR"), "");  // not open, not in the table
}

// At 9600 baud 8E1 a character takes 1.145 ms on the line. A request must be out before
// its reply's window opens, and a retry's purge must find nothing of it left to cut.
TEST_F(ExchangeTest, TheRequestHasLeftThePortBeforeItsReadWindowOpens) {
  const std::string command = "WR DM100 " + std::string(51, '7');  // 60 characters
  ScriptedLine& line = ScriptedLine::Install(clock, 1, true);
  line.replies.push_back({"OK\r\n"});
  EXPECT_EQ(PlcExchange(1, command), "OK");
  EXPECT_EQ(line.requests, Lines{command + "\r"});  // whole, at the first attempt
  EXPECT_EQ(line.unsentAtReadStart, std::vector<int>{0});
  EXPECT_EQ(clock.NowMicros(), 124845);  // 61 characters of 1145 us, then the 55 ms window

  ScriptedLine& silent = ScriptedLine::Install(clock, 1, true);
  clock.Advance(5000);
  PlcExchange(1, command);
  EXPECT_EQ(silent.requests, Lines(4, command + "\r"));  // every attempt arrives whole
  EXPECT_EQ(silent.cutCharacters, 0);
  EXPECT_EQ(silent.unsentAtReadStart, std::vector<int>(4, 0));
  EXPECT_EQ(clock.NowMicros(), 129845 + 4 * 124845 + 100000);
}

TEST_F(ExchangeTest, CommandTextsOnTheLine) {
  OpenSimPort();
  std::string r;
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[&] { SetRelay(1, 1915, r); }, "ST 1915\r"},
      {[&] { ResetRelay(1, 5, r); }, "RS 5\r"},
      {[&] { ReadRelay(1, 1915, r); }, "RD 1915\r"},
      {[&] { ReadTimer(1, 12, r); }, "RD T12\r"},
      {[&] { WriteDM(1, 0, 65535, r); }, "WR DM0 65535\r"},
      {[&] { ReadDM(1, 109, r); }, "RD DM109\r"},
      {[&] { CommRequest(1, r); }, "CR\r"},
      {[&] { CommQuit(1, r); }, "CQ\r"},
      {[&] { PlcExchange(1, "WR DM7 -300"); }, "WR DM7 65236\r"},
  };
  for (const auto& [call, sent] : cases) {
    call();
    ExpectSent({sent});
  }
  plc.SetTimerDone(12, true);
  EXPECT_EQ(ReadTimer(1, 12), "1") << "the contact only";
}

TEST_F(ExchangeTest, LateAndBrokenControllers) {
  OpenSimPort();
  line.faults.lateMicros = 80000;  // the answer to the first attempt lands in the second
  EXPECT_EQ(PlcExchange(1, "RD DM109"), "1234");
  EXPECT_EQ(Sent().size(), 2u);
  line.faults = {};
  clock.Advance(200000);  // let the answer to the second attempt come and go
  line.faults.errorAnswers = 3;
  EXPECT_EQ(PlcExchange(1, "RD DM109"), "1234");
  line.faults = {.overlong = true};
  EXPECT_EQ(PlcExchange(1, "RD DM109").size(), 48u);
  line.faults = {.goneAtMicros = clock.NowMicros()};
  int64_t start = NowMs();
  EXPECT_EQ(PlcExchange(1, "CR"), "");
  EXPECT_EQ(NowMs() - start, 100);  // only the pause before the last read costs time
}

TEST_F(ExchangeTest, WaitRelayAndWaitTimerPollEveryTwoTenths) {
  OpenSimPort();
  plc.SetTimerDone(20, true);
  WaitRelay(1, 1915);  // already on: still one pause and one poll
  EXPECT_EQ(WaitTimer(1, 20), 1);
  plc.SetRelay(1915, false);
  WaitRelay(1, -1915);
  EXPECT_EQ(Sent(), (Lines{"RD 1915\r", "RD T20\r", "RD 1915\r"}));
  EXPECT_EQ(NowMs(), 200 + 100 + 200 + 3 * 55);  // the pauses and three read windows
  EscAbort = true;  // a waiting Esc: a tenth of a second each, nothing sent
  plc.SetTimerDone(20, false);
  int64_t start = NowMs();
  WaitRelay(1, 1915);
  EXPECT_EQ(WaitTimer(1, 20), 1);
  EXPECT_EQ(NowMs() - start, 200);
  EXPECT_EQ(Sent().size(), 3u);
  EscAbort = false;
  Script("_~");
  EXPECT_GT(WaitTimer(1, 20), 3);  // ends on the Esc
  EXPECT_TRUE(EscAbort);
}

TEST(TextRules, NegativeNumbersAndTextToInteger) {
  const char* cases[][2] = {
      {"WR DM100 -1", "WR DM100 65535"}, {"WR DM7 -0", "WR DM7 0"}, {"RS 5", "RS 5"},
      {"WR DM1 -5 7", "WR DM1 65531"},   {"ST -1915", "ST 63621"},  {"RD -x", "RD 0"},
      {"WR DM0 -70000", "WR DM0 61072"},
  };
  for (const auto& [command, sent] : cases) EXPECT_EQ(ApplyNegativeRule(command), sent);
  // Text to integer reads what a number starts with.
  const char* texts[] = {"",   "  42",   "-17", "+8", "$1F",        "0x1f",        "12ab",
                         "E1", "1234\r", "0x",  "$",  "2147483647", "99999999999", "-2147483648"};
  int32_t values[] = {0, 42, -17, 8, 31, 31, 12, 0, 1234, 0, 0, 2147483647, 999999999, INT32_MIN};
  static_assert(std::size(texts) == std::size(values));
  for (size_t i = 0; i < std::size(texts); ++i) EXPECT_EQ(TextToInt(texts[i]), values[i]) << i;
}
}  // namespace
