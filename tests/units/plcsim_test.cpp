// The simulated store at explicit times and its options.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>

#include "plcsim/books.h"
#include "plcsim/command_line.h"
#include "plcsim/line.h"
#include "plcsim/options.h"

namespace {

using namespace plcsim;
using Seen = std::vector<int>;
using Places = std::vector<std::string>;
constexpr int64_t kMs = 1000;

struct Sim : PlcModel {
  SimLine line{*this};
  Seen dm1;  // DM1 every 10 ms until Ready, from the last ReadyAt
  explicit Sim(bool active = true) { Ask(active ? "ST 1801" : "RS 1801", 0); }
  std::string Ask(const std::string& request, int64_t ms) { return Handle(request, ms * kMs); }
  std::string Reads(const std::string& addresses, int64_t ms) {  // "RD" each, blank-separated
    std::string out, address;
    for (std::istringstream in(addresses); in >> address;) out += " " + Ask("RD " + address, ms);
    return out.substr(1);
  }
  int64_t ReadyAt(int64_t fromMs) {  // when Ready came, or -1
    dm1.clear();
    for (int64_t t = fromMs; t <= fromMs + 30000; t += 10) {
      Advance(t * kMs);
      dm1.push_back(Dm(1));
      if (Relay(kReady)) return t;
    }
    return -1;
  }
  Seen Turn(int target, int64_t ms) {  // the positions DM1 showed, each once, until Ready
    Ask("WR DM0 " + std::to_string(target), ms);
    ReadyAt(ms);
    Seen seen = dm1;
    return {seen.begin(), std::unique(seen.begin(), seen.end())};
  }
  int64_t Move(int relay, int position, int level, int64_t ms) {  // as the screens do
    Ask("WR DM0 " + std::to_string(position), ms);
    Ask("WR DM5 " + std::to_string(level), ms + 55);
    Ask("ST " + std::to_string(relay), ms + 110);
    return ReadyAt(ms + 165);
  }
};

// A turn takes longer with every step, and every position passed shows in DM1 longer
// than the console's slowest tracking loop takes between two readings of it (320 ms).
TEST(Carousel, TurnsShowEveryPositionThroughTheWrapFromWhereTheCarouselIs) {
  for (int64_t steps = 0, previous = 0; steps <= 8; ++steps) {  // 0: still takes time
    Sim plc;
    ASSERT_EQ(plc.Ask("WR DM0 " + std::to_string(1 + steps), 100), "OK");
    EXPECT_EQ(plc.Reads("1915 T20 500 DM200", 101), "0 0,00000,00000 1 1") << steps;
    int64_t took = plc.ReadyAt(101) - 100;
    EXPECT_TRUE(took >= 100 && took <= 4000 && took > std::exchange(previous, took)) << took;
    std::map<int, int> shown;  // readings of DM1 every 10 ms, by position
    for (int p : plc.dm1) ++shown[p];
    for (auto [p, n] : shown) EXPECT_TRUE(p == 1 || p == 1 + steps || n > 33) << p << ": " << n;
    EXPECT_EQ(plc.Reads("DM1 T20 500 DM2 DM200", 100 + took),
              std::to_string(1 + steps) + " 1,00000,00000 0 0 0");
  }
  // Only when activated, through the wrap, from where it is.
  Sim plc(false);
  plc.Ask("WR DM0 4", 0);
  EXPECT_EQ(plc.Reads("1915 DM1 DM0", 3000), "1 1 4");
  plc.Ask("ST 1801", 3100);
  for (const char* request : {"WR DM0 0", "WR DM0 10", "WR DM0 65535"})
    EXPECT_EQ(plc.Ask(request, 6100), "OK") << request;
  EXPECT_EQ(plc.Reads("1915 DM1", 6110), "1 1");
  EXPECT_EQ(plc.Turn(4, 7000), (Seen{1, 2, 3, 4}));
  EXPECT_EQ(plc.Turn(2, 10000), (Seen{4, 5, 6, 7, 8, 9, 1, 2}));
  plc.Ask("WR DM0 9", 14000);
  plc.Advance(15700 * kMs);
  Seen expected;  // a new target mid-turn: from where it is, forward through the wrap
  for (int p = plc.Dm(1); p != 4; p = p % 9 + 1) expected.push_back(p);
  ASSERT_TRUE(expected.size() > 3 && expected.size() < 10) << plc.Dm(1);
  EXPECT_EQ(plc.Turn(3, 15700), expected);
}

TEST(Handler, MovesCarryOnePlateRoundTheStoreImpossibleOnesWaitForSystemReset) {
  Sim plc;  // unload; load (the carousel turns first); pick; place at the very top
  const std::tuple<int, int, int, const char*> moves[] = {
      {1905, 1, 1, "station"}, {1904, 3, 5, "3.5"}, {1908, 3, 5, "handler"}, {1909, 9, 10, "9.10"}};
  for (int64_t t = 0; auto [relay, position, level, plate] : moves) {
    ASSERT_GT(t = plc.Move(relay, position, level, t + 100), 0) << relay;
    EXPECT_EQ(plc.Plates().Occupied(), Places{plate}) << relay;
    EXPECT_EQ(plc.Reads("DM1 10", t), std::to_string(position) + (relay == 1908 ? " 1" : " 0"));
  }
  EXPECT_EQ(plc.Reads("DM121 DM211 DM212 DM213 1814", 5000), "4 0 0 0 0");  // accesses, errors
  // The books line the programs print as they stop; a plate put in counts as -1 lost.
  plc.Plates().Put(Place::At(3, 10), true);
  EXPECT_EQ(BooksLine(plc),
            "simulated store: plates at 3.10 9.10, moves refused 0, plates lost -1");
  // Impossible: pick, place, load from empty; unload, place onto full; level 11; position 0.
  const int cases[][4] = {{1908, 2, 2, 211}, {1909, 2, 2, 211}, {1904, 2, 2, 211},
                          {1905, 1, 1, 212}, {1909, 1, 1, 212}, {1908, 1, 11, 213},
                          {1908, 0, 1, 213}};
  for (auto [relay, position, level, counter] : cases) {
    SCOPED_TRACE(testing::Message() << relay << " " << position << "." << level);
    Sim plc;  // a plate in 5.5
    plc.Plates().Put(Place::At(5, 5), true);
    if (relay == 1909) plc.Plates().Put(Place::Handler(), position == 1);
    if (relay == 1905) plc.Plates().Put(Place::Station(), true);
    Places before = plc.Plates().Occupied();
    EXPECT_EQ(plc.Move(relay, position, level, 0), -1);
    EXPECT_EQ(plc.Reads("1814 " + std::to_string(relay), 40000), "1 0");
    EXPECT_EQ(plc.Dm(counter) * 0x10000 + (plc.Dm(200) & 0x8000), 0x18000);
    EXPECT_EQ(plc.MovesWhileNotReady(), 0);
    EXPECT_EQ(plc.Move(1908, 5, 5, 40100), -1);  // refused and counted while the error stands
    EXPECT_EQ(plc.MovesWhileNotReady(), 2);      // its target and its move came while not Ready
    EXPECT_EQ(plc.Reads("1908 DM218", 70300), "0 1");
    EXPECT_EQ(plc.Plates().Occupied(), before);
    plc.Ask("ST 1900", 80000);
    EXPECT_EQ(plc.Reads("1814 1900", plc.ReadyAt(80010)), "0 0");
    EXPECT_GT(plc.Move(plc.Plates().Holds(Place::Station()) ? 1908 : 1905, 5, 5, 82000), 0);
  }
  // Moves stopped at random are refused, counted in DM216, and reset by the operator.
  std::vector<bool> stopped;
  Sim sim;
  sim.faults = {.refuseOneIn = 4, .refuseSeed = 1, .operatorResetMicros = 20000 * kMs};
  for (int64_t t = 0, i = 0; i < 80; ++i) {  // 1.1 to the transfer station and back
    const bool out = sim.Plates().Holds(Place::At(1, 1));
    const Places before = sim.Plates().Occupied();
    const int refused = sim.RefusedMoves();
    const int64_t start = t + 100;
    ASSERT_GT(t = sim.Move(out ? 1905 : 1904, 1, 1, start), 0) << i;
    stopped.push_back(sim.RefusedMoves() > refused);
    EXPECT_EQ(sim.Plates().Occupied(), stopped.back() ? before : Places{out ? "station" : "1.1"});
    EXPECT_EQ(t - start >= 20000, stopped.back()) << i << ": Ready after " << t - start << " ms";
  }
  const int count = static_cast<int>(std::count(stopped.begin(), stopped.end(), true));
  EXPECT_TRUE(count >= 10 && count <= 30) << count;
  EXPECT_EQ(sim.Reads("DM211 DM212 DM216", 0), "0 0 " + std::to_string(count));
  // The operator's reset due for an error reset from the line leaves a new error standing.
  Sim store;
  store.faults = {.refuseOneIn = 1, .operatorResetMicros = 20000 * kMs};
  store.Ask("WR DM0 1", 0), store.Ask("WR DM5 1", 0);
  store.Ask("ST 1905", 0);  // 1.1 to the transfer station: stopped once the carousel is there
  store.Ask("ST 1900", 3000);
  EXPECT_EQ(store.ReadyAt(3000), 3500);
  store.Ask("ST 1905", 4000);  // stopped again; the old error's reset falls due before 23000
  EXPECT_EQ(store.Reads("1814 1915", 23000), "1 0");
  EXPECT_EQ(store.ReadyAt(23000), 24500);
  EXPECT_EQ(BooksLine(store), "simulated store: plates at 1.1, moves refused 2, plates lost 0");
  EXPECT_EQ(store.Dm(216), 2);
}

// Parses as plcsim and pxn32 do, with one option of its own: "ok N" or what stderr got.
std::string Parse(Sim& plc, std::string args, std::string* device = nullptr) {
  std::string own, name = "./plcsim";
  const ProgramOption table[] = {{"device", device ? device : &own, nullptr}};
  std::vector<char*> argv{name.data()};  // the words of `args`
  for (char* w = strtok(args.data(), " "); w; w = strtok(nullptr, " ")) argv.push_back(w);
  SimOptions options;
  int given = 0;
  testing::internal::CaptureStderr();
  const bool ok =
      ParseCommandLine(static_cast<int>(argv.size()), argv.data(), "plcsim", table, options, given);
  const std::string errors = testing::internal::GetCapturedStderr();
  if (ok) ApplySimOptions(options, plc, plc.line, 1000);
  return ok ? "ok " + std::to_string(given) : errors;
}

TEST(SimOptions, EveryOptionInEitherFormOrAsAPrefixReachesTheModelOrIsRefused) {
  Sim m, none;
  std::string device;
  ASSERT_EQ(Parse(m,
                  "--positions=12 --lev 4 --serial 777 --three-plate --two --silent "
                  "--error-answers=3 --garbled --overlong --late 80 --ready-stuck --lift-hit "
                  "--wrong-position --gone-after 2.5 --paced --dev x --plate 12.4 --plate=3.1 "
                  "--refuse-one-in 40 --reset-after=12.5",
                  &device),
            "ok 19");
  const auto& f = m.line.faults;
  EXPECT_EQ(std::tuple(m.Dm(29), m.Dm(25), m.Dm(109), f.errorAnswers, f.lateMicros, f.goneAtMicros),
            std::tuple(12, 4, 777, 3, 80000, 2501000));
  EXPECT_EQ(std::tuple(m.faults.refuseOneIn, m.faults.operatorResetMicros),
            std::tuple(40, 12500000));
  EXPECT_TRUE(m.Relay(1703) && m.Relay(3003) && m.faults.readyStuck && m.faults.wrongPosition &&
              m.faults.liftHit && f.silent && f.garbled && f.overlong && m.line.paced);
  EXPECT_EQ(m.Plates().Occupied(), (Places{"3.1", "12.4"}));  // not 1.1
  EXPECT_EQ(device, "x");
  EXPECT_TRUE(Parse(none, "--no-plates --inactive") == "ok 2" && none.Plates().Count() == 0 &&
              !none.Relay(1801));
  // Errors read as every Linux tool's do: the program, what is wrong, where to look.
  const std::pair<std::string, std::string> cases[] = {
      {"--positions 0",
       "invalid value '0' for '--positions': a whole number from 1 to 56 is wanted"},
      {"--plate 1",
       "invalid value '1' for '--plate': a slot as position.level, such as 1.1 is wanted"},
      {"--gone-after soon",
       "invalid value 'soon' for '--gone-after': seconds, from 0 to 1000000 is wanted"},
      {"--levels", "option '--levels' requires an argument"},
      {"--s", "option '--s' is ambiguous; possibilities: '--serial' '--silent'"},
      {"--silent=yes", "option '--silent' doesn't allow an argument"},
      {"--device=", "option '--device' wants a value, not an empty one"},
      {"--device --silent", "option '--device' needs a path, not the option '--silent'"},
      {"-p", "invalid option -- 'p'"},
      {"extra", "unexpected argument 'extra'"},
      {"--levels 3 --plate 1.4", "--plate 1.4 lies outside a store of 9 positions and 3 levels"},
  };
  for (const auto& [args, error] : cases) {
    Sim plc;
    EXPECT_EQ(Parse(plc, args),
              "plcsim: " + error + "\nTry 'plcsim --help' for more information.\n")
        << args;
  }
}

// The counter words: hours, gate cycles low and high, on-time, powered time.
using Words = std::tuple<int, int, int, int, int, int, int>;
Words CounterWords(const PlcModel& m) {
  return {m.Dm(110), m.Dm(111), m.Dm(112), m.Dm(117), m.Dm(118), m.Dm(119), m.Dm(120)};
}

TEST(OperatingCounters, OptionsSetTheWordsAndTheStoreCountsAsItWorks) {  // high * 65535 + low
  const std::pair<const char*, Words> cases[] = {
      {"--gate-cycles 65540", {812, 5, 1, 33480, 16, 40894, 44}},
      {"--hours 10 --on-time 50", {10, 23456, 0, 50, 0, 36000, 0}},
      {"--hours 10 --powered 200", {0, 23456, 0, 33480, 16, 200, 0}},  // the last one counts
      {"--powered 65535", {18, 23456, 0, 33480, 16, 0, 1}},
      {"--gate-cycles 4294901759 --on-time 0 --hours 65535", {65535, 65534, 65535, 0, 0, 0, 3600}},
  };
  for (const auto& [args, words] : cases) {
    Sim model;
    ASSERT_TRUE(Parse(model, args).starts_with("ok")) << args;
    EXPECT_EQ(CounterWords(model), words) << args;
  }
  for (const char* args : {"--hours 65536", "--hours -1", "--powered 235929600", "--on-time x",
                           "--gate-cycles 4294901760", "--gate-cycles"}) {
    Sim model;
    EXPECT_FALSE(Parse(model, args).starts_with("ok")) << args;
  }
  // Gate cycles; motion and powered seconds booked each minute; the hours on the hour.
  Sim model;
  ASSERT_EQ(Parse(model, "--powered 3590 --on-time 100 --gate-cycles 65534"), "ok 3");
  const std::pair<const char*, int64_t> requests[] = {
      {"ST 1901", 1}, {"ST 1902", 3}, {"ST 1902", 5},     // closing a closed gate is no cycle
      {"ST 1901", 6}, {"ST 1902", 8}, {"WR DM0 5", 10}};  // a turn of four steps: 2.1 s
  for (const auto& [request, at] : requests) model.Handle(request, at * 1000 * kMs);
  model.Advance(59000 * kMs);
  EXPECT_EQ(CounterWords(model), Words(0, 1, 1, 100, 0, 3590, 0));  // nothing booked yet
  model.Advance(60001 * kMs);  // the options took effect 1 ms in
  // Moving: the gate 4 x 1 s, the check of the closed one 0.2 s, the turn 2.1 s.
  EXPECT_EQ(CounterWords(model), Words(1, 1, 1, 106, 0, 3650, 0));
  model.Advance(3600001 * kMs);
  EXPECT_EQ(CounterWords(model), Words(1, 1, 1, 106, 0, 7190, 0));
}

}  // namespace
