// The one exchange with the controller: what it sends, how it reads and retries, the
// time each attempt takes on a faithful and a fast link, and the command texts.
#include "KV_Lib3/exchange.h"

#include <algorithm>
#include <functional>

#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN_Lib3/device_ops.h"
#include "comLib3/keyboard.h"
#include "support/scripted_line.h"
#include "support/virtual_world.h"

namespace {

using ExchangeTest = VirtualWorld;

// Replies as the line brings them: the line end goes, one character stays, two are
// empty and retried, an error reply is retried and kept after the fourth.
TEST_F(ExchangeTest, RepliesLoseTheirLineEndAndEmptyOrErrorOnesAreRetried) {
  const std::string bin("\0\xff\x37\r\n", 5), e1 = "E1\r\n";
  const std::tuple<Lines, std::string, size_t> cases[] = {
      {{"1\r\n"}, "1", 1},     {{bin}, bin.substr(0, 3), 1}, {{"X"}, "X", 1},
      {Lines(4, "AB"), "", 4}, {Lines(4, e1), "E1", 4},      {{e1, e1, e1, "OK\r\n"}, "OK", 4},
      {{std::string(60, '7')}, std::string(48, '7'), 1},  // 50 read, the line end cut
  };
  for (const auto& [replies, result, writes] : cases) {
    ScriptedLine& line = ScriptedLine::Install(clock);
    for (const std::string& r : replies) line.replies.push_back({r});
    EXPECT_EQ(Escaped(PlcExchange(1, "RD 5")), Escaped(result));
    EXPECT_EQ(line.Writes(), Lines(writes, "RD 5\r"));
  }
}

// Silence: a purge before the loop and before every write, four writes 55 ms apart, the
// 100 ms pause before the fourth read. With Esc up nothing goes out and no time passes;
// a port that is not open answers empty.
TEST_F(ExchangeTest, FourAttemptsThenEmptyAndNothingWithEscUp) {
  ScriptedLine* line = &ScriptedLine::Install(clock);
  EXPECT_EQ(PlcExchange(1, "CR"), "");
  EXPECT_EQ(line->WriteMs(), (std::vector<int64_t>{0, 55, 110, 165}));
  EXPECT_EQ(std::ranges::count_if(line->events, [](auto& e) { return e.kind == e.kPurge; }), 5);
  EXPECT_EQ(NowMs(), 320);
  line = &ScriptedLine::Install(clock);
  EscAbort = true;
  EXPECT_EQ(PlcExchange(1, "ST 1801"), "");
  EXPECT_TRUE(line->events.empty());
  EXPECT_EQ(NowMs(), 320);
  EscAbort = false;
  EXPECT_EQ(PlcExchange(5, "CR") + PlcExchange(200, "CR"), "");
}

// At 9600 baud 8E1 a character takes 1.145 ms on the line. A request is out before its
// reply's window opens, and a retry's purge finds nothing of it left to cut.
TEST_F(ExchangeTest, TheRequestHasLeftThePortBeforeItsReadWindowOpens) {
  const std::string command = "WR DM100 " + std::string(51, '7');  // 60 characters
  ScriptedLine& line = ScriptedLine::Install(clock, 1, true);
  line.replies.push_back({"OK\r\n"});
  EXPECT_EQ(PlcExchange(1, command), "OK");
  EXPECT_EQ(line.requests, Lines{command + "\r"});  // whole, at the first attempt
  EXPECT_EQ(line.events.back().unsent, 0);
  EXPECT_EQ(clock.NowMicros(), 124845);  // 61 characters of 1145 us, then the 55 ms window
  ScriptedLine& silent = ScriptedLine::Install(clock, 1, true);
  clock.Advance(5000);
  PlcExchange(1, command);
  EXPECT_EQ(silent.requests, Lines(4, command + "\r"));  // every attempt arrives whole
  EXPECT_EQ(silent.cutCharacters, 0);
  EXPECT_EQ(clock.NowMicros(), 129845 + 4 * 124845 + 100000);
}

// One "RD 1915" against the simulated store in each mode: the reply, the writes, and the
// milliseconds it took. The store answers 3 ms after the request.
TEST_F(ExchangeTest, FaithfulAndFastLinkUnderEveryLineFault) {
  struct Case {
    const char* name;
    plcsim::LineFaults faults;
    std::string reply;
    size_t writes;
    int64_t faithfulMs, fastMs;
  } cases[] = {
      {"answers at once", {}, "1", 1, 55, 3},
      // The last answer is in while the pause before the last read runs.
      {"three error answers", {.errorAnswers = 3}, "1", 4, 320, 109},
      {"only error answers", {.errorAnswers = 4}, "E0", 4, 320, 109},
      {"silent", {.silent = true}, "", 4, 320, 320},
      // The answer to the first attempt lands in the second one's read.
      {"late", {.lateMicros = 80000}, "1", 2, 110, 83},
      {"over 50 bytes", {.overlong = true}, "1" + std::string(47, '9'), 1, 3, 3},
      {"garbled", {.garbled = true}, "\x7f#?\x01\xfe", 1, 55, 3},
      {"no line end", {.noLineEnd = true}, "1", 1, 55, 55},
      // Away: nothing goes out, every read is empty at once; the pause still counts.
      {"gone", {.goneAtMicros = 0}, "", 0, 100, 100},
  };
  for (const auto& c : cases) {
    for (bool fast : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (fast ? ", fast" : ", faithful"));
      ResetProgramGlobals(), Configure();
      clock.Advance(kSecond);  // answers to the case before have come and gone
      line.faults = {};
      OpenSimPort();
      line.faults = c.faults;
      if (c.faults.goneAtMicros == 0) line.faults.goneAtMicros = clock.NowMicros();
      FastLink = fast;
      Mark();
      const int64_t start = NowMs();
      EXPECT_EQ(Escaped(PlcExchange(1, "RD 1915")), Escaped(c.reply));
      EXPECT_EQ(NowMs() - start, fast ? c.fastMs : c.faithfulMs);
      EXPECT_EQ(SentSinceMark(), Lines(c.writes, "RD 1915\r"));
    }
  }
}

// At the line's own pace (1145 us a byte) the request's 8 bytes are out before the read;
// the faithful read waits its window, the fast one ends on the reply's last byte. Against
// a store that answers at once, the fast link's Ready wait makes 67 exchanges a second.
TEST_F(ExchangeTest, TheFastLinkEndsOnTheReplyAndKeepsItsPace) {
  line.paced = true;
  OpenSimPort();
  for (bool fast : {false, true}) {
    FastLink = fast;
    clock.Advance(kSecond);
    const int64_t start = clock.NowMicros();
    EXPECT_EQ(PlcExchange(1, "RD 1915"), "1");
    EXPECT_EQ(clock.NowMicros() - start, fast ? 15595 : 64160);
  }
  ResetProgramGlobals(), Configure();
  line.paced = false;
  plc.faults.readyStuck = true;
  plc.SetRelay(1915, false);
  OpenSimPort();
  FastLink = true;
  const int64_t start = clock.NowMicros();
  keys.Key(kKeyEsc, kSecond), keys.Key('Y', kSecond / 10);
  WaitReady(1);
  EXPECT_EQ(std::ranges::count_if(line.Wire(), [&](auto& r) { return r.at >= start && r.at < start + kSecond; }), 67);
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
  const int64_t start = NowMs();
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
  const int32_t values[] = {0, 42, -17, 8, 31, 31, 12, 0, 1234, 0, 0, 2147483647, 999999999,
                            INT32_MIN};
  static_assert(std::size(texts) == std::size(values));
  for (size_t i = 0; i < std::size(texts); ++i) EXPECT_EQ(TextToInt(texts[i]), values[i]) << i;
}

}  // namespace
