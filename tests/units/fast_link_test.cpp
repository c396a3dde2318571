// The exchange read faithfully (every read waits out its window) and with the fast link
// (a read also ends at the reply's line end), against the simulated line in virtual time.
#include <string>
#include <vector>

#include "KV_Lib3/exchange.h"
#include "PXN_Lib3/device_ops.h"
#include "comLib3/line_log.h"
#include "support/virtual_world.h"

namespace {

using FastLinkTest = VirtualWorld;

// What the line does, and what one "RD 1915" exchange gives in each mode: the reply,
// the writes and the virtual milliseconds it took. Without a fault the controller
// answers 3 ms after the request.
TEST_F(FastLinkTest, ReadsEndAtTheLineEndAndEveryOtherRuleStays) {
  struct Case {
    const char* name;
    plcsim::LineFaults faults;
    std::string reply;
    size_t writes;
    int64_t faithfulMs, fastMs;
  } cases[] = {
      {"answers at once", {}, "1", 1, 55, 3},
      // The last answer is in while the pause before the last read runs.
      {"three error answers", {.errorAnswers = 3}, "1", 4, 3 * 55 + 100 + 55, 3 * 3 + 100},
      {"only error answers", {.errorAnswers = 4}, "E0", 4, 320, 109},
      {"silent", {.silent = true}, "", 4, 320, 320},
      // The answer to the first attempt lands in the second one's read.
      {"late", {.lateMicros = 80000}, "1", 2, 110, 83},
      {"over 50 bytes", {.overlong = true}, "1" + std::string(47, '9'), 1, 3, 3},
      {"garbled", {.garbled = true}, "\x7f#?\x01\xfe", 1, 55, 3},
      {"no line end", {.noLineEnd = true}, "1", 1, 55, 55},
      {"gone", {.goneAtMicros = 0}, "", 0, 100, 100},
  };
  for (const auto& c : cases) {
    for (bool fast : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (fast ? ", fast" : ", faithful"));
      Configure();
      ResetProgramGlobals();
      clock.Advance(1000000);  // answers to the case before have come and gone
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

// At the line's own pace (1145 us a byte) the request's 8 bytes are out before the read
// begins; the faithful read then waits its 55 ms, the fast one ends on the last byte of
// the reply: the controller's 3 ms and the reply's 3 bytes.
TEST_F(FastLinkTest, AtTheLinesPaceAnExchangeTakesItsBytesAndTheAnswerDelay) {
  line.paced = true;
  OpenSimPort();
  for (bool fast : {false, true}) {
    FastLink = fast;
    clock.Advance(1000000);
    const int64_t start = clock.NowMicros();
    EXPECT_EQ(PlcExchange(1, "RD 1915"), "1");
    EXPECT_EQ(clock.NowMicros() - start, fast ? 15595 : 64160);
  }
}

// A Ready that never comes, on the fast link against a store that answers in 3 ms: the
// Ready wait exchanges at most once every 15 ms, 67 times in its first second.
TEST_F(FastLinkTest, AWaitThatNeverEndsExchangesAtMostOnceEvery15ms) {
  plc.faults.readyStuck = true;
  plc.SetRelay(1915, false);
  OpenSimPort();
  FastLink = true;
  keys.Key(kKeyEsc, 1000000), keys.Key('Y', 100000);
  WaitReady(1);
  int inFirstSecond = 0;
  for (const auto& record : line.Wire()) inFirstSecond += record.at < 1000000;
  EXPECT_EQ(inFirstSecond, 67);
}

}  // namespace
