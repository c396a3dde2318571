// A day of the random-access test in virtual time, judged row by row as the screen ends
// the rows, then by its summary; and the heap at its end against the heap at hour 2.
#include <malloc.h>

#include "PXN32_00/screens.h"
#include "support/access_judge.h"
#include "support/virtual_world.h"

namespace {

constexpr int64_t kHour = 3600 * kSecond;

// Under the address sanitizer freed memory waits in quarantine: the heap is not judged.
#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr bool kJudgeHeap = false;
#else
constexpr bool kJudgeHeap = true;
#endif

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace

using RandomAccessSoak = VirtualWorld;

// Both mode on the handler, random waits: one move in 300 stopped, reset half a minute later,
// the moves it makes impossible refused; position 1 out of turn now and then, marked once.
TEST_F(RandomAccessSoak, ADayWithStoppedMovesKeepsThePlateTheFiguresAndTheHeap) {
  Configure();
  AccessJudge judge(plc, plcsim::Place::Handler());
  RowLog log;
  size_t heapAt2 = 0, heapAt24 = 0;
  line.keepWire = false;
  clock.SetLimit(26 * kHour);
  keys.onPresent = [&](const console::Screen& s) {
    plc.logRequests = false;  // the store is made anew as the screen starts
    if (!log.See(s)) return;
    judge.See(log.rows.back());
    log.rows.clear();  // nothing of the day is kept
    if (!heapAt2 && clock.NowMicros() >= 2 * kHour) heapAt2 = HeapInUse();
    if (!heapAt24 && clock.NowMicros() >= 24 * kHour) heapAt24 = HeapInUse(), Script("~_Y_x");
  };
  RunScreen(RandomAccessTest, "bnn0\r60\r", {},
            {.wrongPosition = true, .refuseOneIn = 300, .operatorResetMicros = 30 * kSecond});
  keys.onPresent = nullptr;
  JudgeAccessRun(judge);
  EXPECT_GT(judge.count, 5000);
  EXPECT_GT(judge.stopped, 5);
  EXPECT_GT(judge.impossible, judge.stopped);
  EXPECT_EQ(plc.RefusedMoves(), judge.stopped + judge.impossible);
  // Each mark a turn the store reported out of turn (DM214), once at most.
  EXPECT_GT(judge.marks, 1000);
  EXPECT_LE(judge.marks, plc.Dm(214));
  EXPECT_EQ(judge.markedTwice, 0);
  std::printf(
      "[ figure ] soak: %lld accesses, %lld stopped, %lld impossible, heap %zu at hour 2, "
      "%zu at 24\n",
      judge.count, judge.stopped, judge.impossible, heapAt2, heapAt24);
  if (!kJudgeHeap) return;
  ASSERT_GT(heapAt2, 0u);
  EXPECT_LE(heapAt24, heapAt2 + 16 * 1024) << "the heap grew";
}
