// The line log (--log FILE): what it holds for an exchange, and a console that goes on
// with a word on its status bar when the file can't be written.
#include "comLib3/line_log.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "KV_Lib3/exchange.h"
#include "base/farewell.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "comLib3/serial.h"
#include "support/virtual_world.h"

namespace {

const std::string kBar = "Plaxon    ComPort 1  SNr. 1234  SysStat 0000    Ready 1";

Lines FileLines(const std::string& path) {
  std::ifstream in(path);
  Lines lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class LineLogTest : public VirtualWorld {
 protected:
  LineLogTest() { SerialNo = 1234; }
  TempDir dir_;
  const std::string path_ = dir_ / "line.log";
};

// Three error answers, then the reply: one line per attempt, stamped when its read ended,
// the bytes both ways escaped, the attempt and what it took; the same faithfully and fast.
TEST_F(LineLogTest, EveryAttemptOfARetriedExchangeIsOneLine) {
  const std::string sent = "port 1  sent \"RD DM109\\r\"  got ";
  struct Case {
    bool fast;
    Lines lines;
  } cases[] = {
      {false,
       {"2026-12-06 10:00:01.234  pxn32 test header",
        "2026-12-06 10:00:01.234  port 1  opened, 9600 baud 8E1",
        "2026-12-06 10:00:01.289  " + sent + "\"E0\\r\\n\"  attempt 1  55.0 ms",
        "2026-12-06 10:00:01.344  " + sent + "\"E0\\r\\n\"  attempt 2  55.0 ms",
        "2026-12-06 10:00:01.399  " + sent + "\"E0\\r\\n\"  attempt 3  55.0 ms",
        "2026-12-06 10:00:01.554  " + sent + "\"1234\\r\\n\"  attempt 4  155.0 ms"}},
      {true,
       {"2026-12-06 10:00:02.234  pxn32 test header",
        "2026-12-06 10:00:02.234  port 1  opened, 9600 baud 8E1",
        "2026-12-06 10:00:02.237  " + sent + "\"E0\\r\\n\"  attempt 1  3.0 ms",
        "2026-12-06 10:00:02.240  " + sent + "\"E0\\r\\n\"  attempt 2  3.0 ms",
        "2026-12-06 10:00:02.243  " + sent + "\"E0\\r\\n\"  attempt 3  3.0 ms",
        "2026-12-06 10:00:02.343  " + sent + "\"1234\\r\\n\"  attempt 4  100.0 ms"}},
  };
  int64_t second = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fast ? "fast" : "faithful");
    clock.SleepUntil(second++ * 1000000 + 234000);
    std::filesystem::remove(path_);
    ASSERT_TRUE(StartLineLog(path_, "pxn32 test header"));
    ASSERT_EQ(OpenComPort(1, 9600, 'E', 1, 8), 0);
    FastLink = c.fast;
    line.faults.errorAnswers = 3;
    EXPECT_EQ(PlcExchange(1, "RD DM109"), "1234");
    EXPECT_TRUE(SameLines(FileLines(path_), c.lines));
    StopLineLog();
    CloseComPort(1);
  }
}

// What the program says on its way out.
std::string Farewell() {
  testing::internal::CaptureStderr();
  base::SayFarewell();
  base::ResetNotes();
  return testing::internal::GetCapturedStderr();
}

// A log that can't be started, or that meets a full disk on the way: the exchanges go
// on, the lines written so far are whole, and the bar says NO LOG before its time, once
// per redraw, where blanks stood; with a working log the bar is as it always is. On the
// way out the program names the file, the reason and whether anything went in.
TEST_F(LineLogTest, AFileThatCantBeWrittenLeavesTheConsoleWorking) {
  const std::string plain = kBar + std::string(72 - 55, ' ');
  const std::string marked = kBar + std::string(72 - 55 - 7, ' ') + "NO LOG ";
  signal(SIGXFSZ, SIG_IGN);  // a file over the limit fails with EFBIG instead
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  struct Case {
    const char* name;
    std::string path;
    rlim_t room;  // bytes the file may take
    std::string failure;
    std::string bar;
    std::string farewell;  // after "pxn32: --log <path>: <failure>"
  } cases[] = {
      {"works", path_, RLIM_INFINITY, "", plain, ""},
      {"no such folder", dir_ / "none/line.log", RLIM_INFINITY,
       "No such file or directory", marked, "; nothing was logged\n"},
      {"a folder", dir_.Path(), RLIM_INFINITY, "Is a directory", marked,
       "; nothing was logged\n"},
      {"full at once", path_, 0, "File too large", marked, "; nothing was logged\n"},
      {"full on the way", path_, 400, "File too large", marked,
       "; the log stopped at 10:00:02\n"},
      {"a device", "/dev/full", RLIM_INFINITY, "not a regular file or a terminal", marked,
       "; nothing was logged\n"},
      // A FIFO with no reader would hold an open that waits.
      {"a FIFO", dir_ / "fifo", RLIM_INFINITY, "not a regular file or a terminal",
       marked, "; nothing was logged\n"},
  };
  ASSERT_EQ(mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(path_);
    StopLineLog();
    rlimit room = limit;
    room.rlim_cur = std::min(c.room, limit.rlim_max);
    setrlimit(RLIMIT_FSIZE, &room);
    StartLineLog(c.path, "header");
    OpenSimPort();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(PlcExchange(1, "RD DM109"), "1234");
    setrlimit(RLIMIT_FSIZE, &limit);
    EXPECT_EQ(LineLogFailure(), c.failure);
    EXPECT_EQ(LineLogOn(), c.failure.empty());
    EXPECT_EQ(Farewell(), c.failure.empty() ? ""
                                            : "pxn32: --log " + c.path + ": " + c.failure + c.farewell);
    ShowStatus();
    EXPECT_EQ(Row(1).substr(0, 72), c.bar);
    if (c.path != path_) continue;
    const Lines lines = FileLines(path_);
    // The header, the port opened, 8 exchanges, the bar's 2.
    EXPECT_EQ(lines.size() == 12, c.failure.empty()) << lines.size();
    EXPECT_LE(std::filesystem::file_size(path_), c.room);
    for (const std::string& l : lines)
      EXPECT_TRUE(l.ends_with("  header") || l.ends_with(" ms") || l.ends_with("opened, 9600 baud 8E1"))
          << l;
  }
}

}  // namespace
