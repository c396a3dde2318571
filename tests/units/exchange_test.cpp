// The exchange with the controller, faithful and fast, its number rules and its line log.
#include "KV_Lib3/exchange.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "KV_Lib3/commands.h"
#include "KV_Lib3/plc_port.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "base/farewell.h"
#include "comLib3/keyboard.h"
#include "comLib3/line_log.h"
#include "comLib3/serial.h"
#include "support/virtual_world.h"

namespace {

using ExchangeTest = VirtualWorld;

// "RD 1915" under each line fault, faithfully and fast; the store answers 3 ms after the request.
TEST_F(ExchangeTest, FaithfulAndFastLinkUnderEveryLineFault) {
  const std::tuple<const char*, plcsim::LineFaults, std::string, size_t, int, int> cases[] = {
      {"answers at once", {}, "1", 1, 55, 3},
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
  for (const auto& [name, faults, reply, writes, faithfulMs, fastMs] : cases) {
    for (bool fast : {false, true}) {
      SCOPED_TRACE(std::string(name) + (fast ? ", fast" : ", faithful"));
      ResetProgramGlobals(), Configure();
      clock.Advance(kSecond);  // answers to the case before have come and gone
      line.faults = {};
      OpenSimPort();
      line.faults = faults;
      if (faults.goneAtMicros == 0) line.faults.goneAtMicros = clock.NowMicros();
      FastLink = fast;
      Mark();
      const int64_t start = NowMs();
      EXPECT_EQ(Escaped(PlcExchange(1, "RD 1915")), Escaped(reply));
      EXPECT_EQ(NowMs() - start, fast ? fastMs : faithfulMs);
      EXPECT_EQ(SentSinceMark(), Lines(writes, "RD 1915\r"));
    }
  }
}

// The window opens once the request is out (1145 us a byte); a fast Ready wait goes round
// every 90 ms: 12 rounds of 3 exchanges start in a second, the last with 1 inside it.
TEST_F(ExchangeTest, TheRequestLeavesBeforeTheReadAndTheFastLinkKeepsItsPace) {
  line.paced = true;
  OpenSimPort();
  // 61 characters take 69.9 ms to leave: still answered at the first attempt.
  const std::string longOne = "WR DM100 " + std::string(50, ' ') + "7";
  for (auto [command, fast, reply, micros] : {std::tuple("RD 1915", false, "1", 64160),
                                              {"RD 1915", true, "1", 15595},
                                              {longOne.c_str(), false, "OK", 124845}}) {
    FastLink = fast;
    clock.Advance(kSecond);
    const int64_t start = clock.NowMicros();
    EXPECT_EQ(PlcExchange(1, command), reply);
    EXPECT_EQ(clock.NowMicros() - start, micros) << command;
  }
  FastLink = true;
  line.paced = false;
  plc.faults.readyStuck = true;
  plc.SetRelay(1915, false);
  const int64_t start = clock.NowMicros();
  keys.Key(kKeyEsc, kSecond), keys.Key('Y', kSecond / 10);
  WaitReady(1);
  const auto inFirstSecond = [&](auto& r) { return r.at >= start && r.at < start + kSecond; };
  EXPECT_EQ(std::ranges::count_if(line.Wire(), inFirstSecond), 34);
}

// Each poll comes after its pause, even for a flag already set; a waiting Esc still
// lets each wait take one step of a tenth of a second, and nothing goes out.
TEST_F(ExchangeTest, WaitRelayAndWaitTimerPollEveryTwoTenths) {
  OpenSimPort();
  plc.SetTimerDone(20, true);
  WaitRelay(1, 1915);
  EXPECT_EQ(WaitTimer(1, 20), 1);
  plc.SetRelay(1915, false);
  WaitRelay(1, -1915);
  EXPECT_EQ(Sent(), (Lines{"RD 1915\r", "RD T20\r", "RD 1915\r"}));
  EXPECT_EQ(NowMs(), 200 + 100 + 200 + 3 * 55);  // the pauses and three read windows
  EscAbort = true;
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
  // clang-format off
  const std::pair<const char*, int32_t> texts[] = {
      {"", 0}, {"  42", 42}, {"-17", -17}, {"+8", 8}, {"$1F", 31}, {"0x1f", 31}, {"12ab", 12},
      {"E1", 0}, {"1234\r", 1234}, {"0x", 0}, {"$", 0}, {"2147483647", INT32_MAX},
      {"99999999999", 999999999}, {"-2147483648", INT32_MIN}};
  // clang-format on
  for (const auto& [text, value] : texts) EXPECT_EQ(TextToInt(text), value) << text;
}

Lines FileLines(const std::string& path) {
  std::ifstream in(path);
  Lines lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A line per attempt, stamped when its read ended, bytes escaped. A log that fails: the
// exchanges go on, its lines are whole, the bar says NO LOG, the farewell says why.
TEST_F(ExchangeTest, EveryAttemptIsOneLineAndAFileThatCantBeWrittenLeavesTheConsoleWorking) {
  TempDir dir;
  const std::string logPath = dir / "line.log",
                    bar = "Plaxon    ComPort 1  SNr. 1234  SysStat 0000    Ready 1";
  SerialNo = 1234;
  signal(SIGXFSZ, SIG_IGN);  // a file over the limit fails with EFBIG instead
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const std::string nothing = "; nothing was logged\n";
  const std::tuple<std::string, rlim_t, std::string, std::string> cases[] = {
      // The path, the bytes the file may take, the failure, how the farewell ends.
      {logPath, RLIM_INFINITY, "", ""},
      {dir / "none/line.log", RLIM_INFINITY, "No such file or directory", nothing},
      {logPath, 0, "File too large", nothing},
      {logPath, 400, "File too large", "; the log stopped at 10:00:03\n"},
      {dir / "fifo", RLIM_INFINITY, "not a regular file or a terminal", nothing},
      {"/dev/full", RLIM_INFINITY, "not a regular file or a terminal", nothing},
      {dir.Path(), RLIM_INFINITY, "Is a directory", nothing},
  };
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);  // an open of it would wait for a reader
  clock.SleepUntil(1234000);
  line.faults.errorAnswers = 3;
  for (const auto& [path, room, failure, farewell] : cases) {
    SCOPED_TRACE(path + " " + std::to_string(room));
    std::filesystem::remove(logPath);
    StopLineLog();
    const rlimit small{std::min(room, limit.rlim_max), limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    StartLineLog(path, "header");
    ASSERT_EQ(OpenPlcPort(1), 0);  // the controller's line
    PortNo = 1;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(PlcExchange(1, "RD DM109"), "1234");
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(LineLogFailure(), failure);
    testing::internal::CaptureStderr();
    base::SayFarewell();  // what the program says on its way out
    base::ResetNotes();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              failure.empty() ? "" : "pxn32: --log " + path + ": " + failure + farewell);
    ShowStatus();
    EXPECT_EQ(Row(1).substr(0, 72),
              bar + (failure.empty() ? std::string(17, ' ') : "          NO LOG "));
    if (path != logPath) continue;
    const Lines lines = FileLines(logPath);
    // The header, the port opened, 8 exchanges (the first in 4 attempts), the bar's 2.
    EXPECT_EQ(lines.size() == 15, failure.empty()) << lines.size();
    EXPECT_LE(std::filesystem::file_size(logPath), room);
    for (const std::string& l : lines)
      EXPECT_TRUE(l.ends_with("  header") || l.ends_with(" ms") ||
                  l.ends_with("opened, 9600 baud 8E1"))
          << l;
    if (!failure.empty()) continue;
    const std::string sent = "port 1  sent \"RD DM109\\r\"  got ";
    EXPECT_TRUE(
        SameLines(Lines(lines.begin(), lines.begin() + 6),
                  {"2026-12-06 10:00:01.234  header",
                   "2026-12-06 10:00:01.234  port 1  opened, 9600 baud 8E1",
                   "2026-12-06 10:00:01.289  " + sent + "\"E0\\r\\n\"  attempt 1  55.0 ms",
                   "2026-12-06 10:00:01.344  " + sent + "\"E0\\r\\n\"  attempt 2  55.0 ms",
                   "2026-12-06 10:00:01.399  " + sent + "\"E0\\r\\n\"  attempt 3  55.0 ms",
                   "2026-12-06 10:00:01.554  " + sent + "\"1234\\r\\n\"  attempt 4  155.0 ms"}));
  }
}

}  // namespace
