// The simulated store's operating counters: set by options, kept as the store works.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "plcsim/command_line.h"
#include "plcsim/line.h"
#include "plcsim/options.h"

namespace {

constexpr int64_t kSecond = 1000000;

using namespace plcsim;


// The counter words: hours, gate cycles low and high, on-time, powered time.
using Words = std::tuple<int, int, int, int, int, int, int>;
Words CounterWords(const PlcModel& m) {
  return {m.Dm(110), m.Dm(111), m.Dm(112), m.Dm(117), m.Dm(118), m.Dm(119), m.Dm(120)};
}

// "ok" with the model set up from the options, or what went to stderr.
std::string Apply(std::string args, PlcModel& model) {
  std::string name = "plcsim";
  std::vector<char*> argv{name.data()};
  for (char* w = strtok(args.data(), " "); w; w = strtok(nullptr, " ")) argv.push_back(w);
  SimOptions options;
  int given = 0;
  testing::internal::CaptureStderr();
  const bool ok =
      ParseCommandLine(static_cast<int>(argv.size()), argv.data(), "plcsim", {}, options, given);
  const std::string errors = testing::internal::GetCapturedStderr();
  if (!ok) return errors;
  SimLine line(model);
  ApplySimOptions(options, model, line, 0);
  return "ok";
}

TEST(OperatingCounters, OptionsSetTheWordsAsPairsOfHighTimes65535AndLow) {
  const std::pair<const char*, Words> cases[] = {
      {"--gate-cycles 65540", {812, 5, 1, 33480, 16, 40894, 44}},
      {"--hours 10 --on-time 50", {10, 23456, 0, 50, 0, 36000, 0}},
      {"--hours 10 --powered 200", {0, 23456, 0, 33480, 16, 200, 0}},  // the last one counts
      {"--powered 65535", {18, 23456, 0, 33480, 16, 0, 1}},
      {"--gate-cycles 4294901759 --on-time 0 --hours 65535", {65535, 65534, 65535, 0, 0, 0, 3600}},
  };
  for (const auto& [args, words] : cases) {
    PlcModel model;
    ASSERT_EQ(Apply(args, model), "ok") << args;
    EXPECT_EQ(CounterWords(model), words) << args;
  }
  for (const char* args : {"--hours 65536", "--hours -1", "--powered 235929600", "--on-time x",
                           "--gate-cycles 4294901760", "--gate-cycles"}) {
    PlcModel model;
    EXPECT_NE(Apply(args, model), "ok") << args;
  }
}

// A gate cycle for every open gate closed; time in motion and powered time booked once
// a minute in whole seconds; the hours word on the hour.
TEST(OperatingCounters, TheStoreCountsAsItWorks) {
  PlcModel model;
  ASSERT_EQ(Apply("--powered 3590 --on-time 100 --gate-cycles 65534", model), "ok");
  const std::pair<const char*, int64_t> requests[] = {
      {"ST 1901", 1}, {"ST 1902", 3}, {"ST 1902", 5},     // closing a closed gate is no cycle
      {"ST 1901", 6}, {"ST 1902", 8}, {"WR DM0 5", 10}};  // a turn of four steps: 2.1 s
  for (const auto& [request, at] : requests) model.Handle(request, at * kSecond);
  model.Advance(59 * kSecond);
  EXPECT_EQ(CounterWords(model), Words(0, 1, 1, 100, 0, 3590, 0));  // nothing booked yet
  model.Advance(60 * kSecond);
  // Moving: the gate 4 x 1 s, the check of the closed one 0.2 s, the turn 2.1 s.
  EXPECT_EQ(CounterWords(model), Words(1, 1, 1, 106, 0, 3650, 0));
  model.Advance(3600 * kSecond);
  EXPECT_EQ(CounterWords(model), Words(1, 1, 1, 106, 0, 7190, 0));
}

}  // namespace
