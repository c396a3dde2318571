// A line that goes away in the middle of a random-access test and comes back: the test
// waits without spinning, the port is opened again a few times a second until the line
// is there, and the accesses go on counting.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "comLib3/line_log.h"
#include "comLib3/serial.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

constexpr int64_t kSecond = 1000000;

std::string Trim(std::string text) {
  return text.erase(text.find_last_not_of(' ') + 1);
}

using LineBackTest = VirtualWorld;

TEST_F(LineBackTest, ARandomAccessTestGoesOnWhenTheLineComesBack) {
  const std::string log = (std::filesystem::temp_directory_path() /
                           ("pxn32-line-back-" + std::to_string(getpid()) + ".log"))
                              .string();
  std::filesystem::remove(log);
  ASSERT_TRUE(StartLineLog(log, "header"));
  std::vector<std::pair<int64_t, bool>> opens;  // when, and whether the line was there
  const SerialOpener opener = TheSerialOpener();
  SetSerialOpener([&](int port, int& error) {
    auto device = opener(port, error);
    opens.emplace_back(clock.NowMicros(), device != nullptr);
    return device;
  });
  OpenSimPort();
  opens.clear();
  PositionCount = 9;
  LevelCount = 10;

  Lines rows;
  bool atStart = false, quitting = false;
  int64_t goneAt = -1, backAt = -1;
  keys.onPresent = [&](const console::Screen& s) {
    if (s.ScreenCursorRow() != 1) {
      const bool start = s.ScreenCursorCol() == 1;
      if (start && !atStart) rows.push_back(Trim(s.RowText(s.ScreenCursorRow() - 1)));
      atStart = start;
    }
    const int64_t now = clock.NowMicros();
    // Between two cycles, so that no move is cut in two: the store stays as the rows say.
    if (goneAt < 0 && !rows.empty() && std::atoi(rows.back().c_str()) == 2)
      goneAt = line.faults.goneAtMicros = now;
    if (goneAt >= 0 && backAt < 0 && now > goneAt + 5 * kSecond) {
      line.faults.goneAtMicros = -1;
      backAt = now;
    }
    if (!quitting && std::atoi(rows.empty() ? "" : rows.back().c_str()) == 7) {
      quitting = true;
      keys.Key(kKeyEsc);
      keys.Key('Y', 1);
      keys.Key('x', 3600 * kSecond);
    }
  };
  keys.Type("BYN-1\r0\r");
  ::RandomAccessTest();
  keys.onPresent = nullptr;
  StopLineLog();

  ASSERT_GT(backAt, goneAt);
  ASSERT_FALSE(opens.empty());
  int64_t last = goneAt - kSecond;
  for (const auto& [at, there] : opens) {
    EXPECT_GE(at - last, kReopenIntervalMicros) << "opens no closer than a quarter second";
    EXPECT_EQ(there, at >= backAt) << at;
    last = at;
  }
  EXPECT_GE(opens.size(), 15u) << "tried all the time the line was away";
  EXPECT_EQ(opens.back().second, true);
  EXPECT_LT(opens.back().first - backAt, 500000) << "opened again soon after it came back";

  // The rows go on from where they stood, each counted.
  int number = 0;
  for (const std::string& row : rows) {
    const int n = std::atoi(row.c_str());
    if (n == 0 || row.find('\xB3') != 3) continue;
    EXPECT_EQ(n, number + 1) << row;
    number = n;
  }
  EXPECT_EQ(number, 7);
  ExpectRows(14, {"                  Total Accesses:           7"});

  std::ifstream in(log);
  Lines events;
  for (std::string entry; std::getline(in, entry);)
    if (entry.find("  sent ") == std::string::npos) events.push_back(entry.substr(25));
  EXPECT_TRUE(SameLines(events, {"header", "port 1  line gone", "port 1  line back"}));
  std::filesystem::remove(log);
}

}  // namespace
