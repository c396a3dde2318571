// Figures, not pass or fail: how long pxn32-report takes over a week of random access
// (100,000 both-mode accesses, one every 6 s, with position errors and a line that
// drops out now and then) and how large the page is. Given a folder, it leaves the
// record, the log and the page there to be looked at.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "report/run.h"

namespace {

constexpr int kAccesses = 100'000;

std::string Stamp(long long second, int milli) {
  char text[40];
  std::snprintf(text, sizeof text, "2026-12-%02lld %02lld:%02lld:%02lld.%03d", 7 + second / 86400,
                second / 3600 % 24, second / 60 % 60, second % 60, milli);
  return text;
}

// Access times that drift up through the week around 7 s, a position error in about
// one access in 2,000, and one in 500 not counted.
void WriteWeek(const std::string& folder) {
  std::ofstream record(folder + "/2026-12-07_00-00-00_random-access-both.csv");
  std::ofstream log(folder + "/plc.log");
  record << "number,tag,position,level,DM0 reply,DM5 reply,relay reply,trace,pos test,access s,"
            "plate ready s,end access reply,wait s,rotation,counted,marks,clock\n";
  unsigned random = 12345;
  for (int i = 0; i < kAccesses; ++i) {
    random = random * 1103515245 + 12345;
    const int hundredths = 550 + static_cast<int>(random >> 16) % 300 + i / 1000;
    const bool error = (random >> 8) % 2000 == 0, counted = (random >> 4) % 500 != 0;
    char row[200];
    std::snprintf(row, sizeof row,
                  "%d,%c,%d,%d,OK,OK,OK,\"A BCDEE \",%d,%d.%02d,%d.%02d,OK,1,\"E \",%s,%d,", i + 1,
                  i % 2 ? 'U' : 'L', 1 + i % 9, 1 + i % 10, 10 + i % 20, hundredths / 100,
                  hundredths % 100, hundredths * 8 / 1000, hundredths * 8 / 10 % 100,
                  counted ? "yes" : "no", error ? 1 : 0);
    record << row << Stamp(i * 6LL, i % 1000) << "\n";
    if (i % 10'000 == 5000)
      log << Stamp(i * 6LL, 0) << "  port 1  line gone\n"
          << Stamp(i * 6LL + 40, 0) << "  port 1  line back\n";
  }
  record << "# Total Accesses:       100000\n"
            "# Test Sequence Random Access, mode B, X-fer Y, invers N\n"
            "# interval entry 0, fixed wait 0 s, random wait up to 0 s\n"
            "# operator bench, serial number 1234, levels 10, positions 9\n"
            "# ended 2026-12-13 22:40:00.000\n";
}

}  // namespace

int main(int argc, char** argv) {
  const bool keep = argc > 1;
  const std::string folder =
      keep ? argv[1]
           : (std::filesystem::temp_directory_path() / ("bench_report_" + std::to_string(getpid())))
                 .string();
  std::filesystem::create_directories(folder);
  WriteWeek(folder);
  const std::string record = folder + "/2026-12-07_00-00-00_random-access-both.csv";
  std::vector<std::string> args = {"pxn32-report", "--log", folder + "/plc.log", record};
  std::vector<char*> words;
  for (std::string& a : args) words.push_back(a.data());
  words.push_back(nullptr);
  double best = 1e9;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    report::Said said;
    const int code = report::RunReport(static_cast<int>(args.size()), words.data(), said);
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (code != 0) std::fprintf(stderr, "%s", said.err.c_str());
  }
  std::printf("report of %d accesses (%.1f MB of record): %.2f s (best of 5), page %.0f kB\n",
              kAccesses, std::filesystem::file_size(record) / 1e6, best,
              std::filesystem::file_size(folder + "/report.html") / 1e3);
  if (!keep) std::filesystem::remove_all(folder);
  return 0;
}
