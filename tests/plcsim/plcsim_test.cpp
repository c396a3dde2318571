// The simulated store at explicit times, its end of the line and its options.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "plcsim/line.h"
#include "plcsim/options.h"

namespace {

using Seen = std::vector<int>;
using Places = std::vector<std::string>;
using plcsim::Place;

struct Sim : plcsim::PlcModel {
  using PlcModel::PlcModel;
  static int64_t Ms(int64_t ms) { return ms * 1000; }
  std::string Ask(const std::string& request, int64_t ms) { return Handle(request, Ms(ms)); }
  std::string Reads(const std::string& addresses, int64_t ms) {
    std::string out, address;
    for (std::istringstream in(addresses); in >> address;)
      out += (out.empty() ? "" : " ") + Ask("RD " + address, ms);
    return out;
  }
  int64_t ReadyAt(int64_t fromMs, Seen* dm1 = nullptr) {
    for (int64_t t = fromMs; t <= fromMs + 30000; t += 10) {
      Advance(Ms(t));
      if (dm1) dm1->push_back(Dm(1));
      if (Relay(plcsim::kReady)) return t;
    }
    return -1;
  }
  // Turns the carousel; the positions DM1 showed, each once, until Ready.
  Seen Turn(int target, int64_t ms, int64_t* msOnOne = nullptr) {
    Seen dm1;
    Ask("WR DM0 " + std::to_string(target), ms);
    ReadyAt(ms, &dm1);
    if (msOnOne) *msOnOne = 10 * std::count(dm1.begin(), dm1.end(), 1);
    dm1.erase(std::unique(dm1.begin(), dm1.end()), dm1.end());
    return dm1;
  }
  // Writes the slot and sets the move relay as the screens do; the time Ready came, or -1.
  int64_t Move(int relay, int position, int level, int64_t ms) {
    Ask("WR DM0 " + std::to_string(position), ms);
    Ask("WR DM5 " + std::to_string(level), ms + 55);
    Ask("ST " + std::to_string(relay), ms + 110);
    return ReadyAt(ms + 165);
  }
};

TEST(Carousel, TurnTakesLongerWithEveryStepAndShowsWhileItLasts) {
  int64_t previous = 0;
  for (int steps = 0; steps <= 8; ++steps) {  // 0: the current position still takes time
    Sim plc;
    plc.Ask("ST 1801", 0);
    ASSERT_EQ(plc.Ask("WR DM0 " + std::to_string(1 + steps), 100), "OK");
    EXPECT_EQ(plc.Reads("1915 T20 500 DM200", 101), "0 0,00000,00000 1 1") << steps;
    int64_t took = plc.ReadyAt(101) - 100;
    EXPECT_TRUE(took >= 100 && took <= 2000 && took > previous) << steps << ": " << took;
    previous = took;
    EXPECT_EQ(plc.Reads("DM1 T20 500 DM2 DM200", 100 + took),
              std::to_string(1 + steps) + " 1,00000,00000 0 0 0");
  }
}

TEST(Carousel, StepsThroughEveryPositionWrapsAndTurnsOnFromWhereItIs) {
  Sim plc;
  plc.Ask("ST 1801", 0);
  plc.Turn(7, 10);
  EXPECT_EQ(plc.Turn(2, 5000), (Seen{7, 8, 9, 1, 2}));
  plc.Ask("WR DM0 9", 6000);
  plc.Advance(Sim::Ms(6700));
  Seen expected;  // from where it is, forward through the wrap
  for (int p = plc.Dm(1); p != 4; p = p % 9 + 1) expected.push_back(p);
  ASSERT_TRUE(expected.size() > 3 && expected.size() < 10) << plc.Dm(1);
  EXPECT_EQ(plc.Turn(3, 6700), expected);
}

TEST(Carousel, TargetsBeforeActivationOrOutsideTheCarouselTurnNothing) {
  Sim plc;
  EXPECT_EQ(plc.Ask("WR DM0 4", 0), "OK");
  EXPECT_EQ(plc.Reads("1915 DM1 DM0", 3000), "1 1 4");
  plc.Ask("ST 1801", 3100);
  for (const char* request : {"WR DM0 0", "WR DM0 10", "WR DM0 65535"}) {
    EXPECT_EQ(plc.Ask(request, 6100), "OK") << request;
    EXPECT_EQ(plc.Reads("1915 DM1", 6110), "1 1") << request;
  }
  EXPECT_EQ(plc.Turn(4, 7000), (Seen{1, 2, 3, 4}));
}

TEST(Carousel, FaultsWrongPositionAndReadyStuck) {
  Sim plc, stuck;
  plc.faults.wrongPosition = stuck.faults.readyStuck = true;
  plc.Ask("ST 1801", 0);
  plc.Turn(3, 0);
  int64_t msOnOne = 0;
  EXPECT_EQ(plc.Turn(6, 5000, &msOnOne), (Seen{3, 1, 5, 6}));  // one on the way, but arrives
  EXPECT_GE(msOnOne, 400);    // long enough for a loop that polls every 0.3 s
  EXPECT_EQ(plc.Dm(214), 2);  // both turns counted as position errors
  plc.Turn(9, 9000);          // from the last position 1 is passed normally
  EXPECT_EQ(plc.Turn(2, 12000), (Seen{9, 1, 2}));
  stuck.Ask("ST 1801", 0);
  stuck.Ask("WR DM0 3", 0);
  EXPECT_EQ(stuck.Reads("1915 DM1 T20", 5000), "0 3 1,00000,00000");
}

TEST(Handler, FourKindsOfMoveCarryOnePlateRoundTheStore) {
  Sim plc;
  plc.Ask("ST 1801", 0);
  int64_t t = 0;  // unload; load (the carousel turns first); pick; place at the very top
  for (auto [relay, position, level, plate] : {std::tuple{1905, 1, 1, "station"},
                                               {1904, 3, 5, "3.5"},
                                               {1908, 3, 5, "handler"},
                                               {1909, 9, 10, "9.10"}}) {
    ASSERT_GT(t = plc.Move(relay, position, level, t + 100), 0) << relay;
    EXPECT_EQ(plc.Plates().Occupied(), Places{plate}) << relay;
    EXPECT_EQ(plc.Reads("DM1 10", t), std::to_string(position) + (relay == 1908 ? " 1" : " 0"));
  }
  EXPECT_EQ(plc.Dm(121), 4);  // accesses
  EXPECT_EQ(plc.Dm(211) + plc.Dm(212) + plc.Dm(213) + plc.ErrorStands(), 0);
}

TEST(Handler, PlateReadyComesBeforeReadyAndDropsWhenTheNextMoveStarts) {
  Sim plc;
  plc.Ask("WR DM0 1", 0);
  plc.Ask("WR DM5 1", 10);
  plc.Ask("ST 1905", 20);
  int64_t plateReady = 30;
  while (plateReady < 20000 && plc.Ask("RD 1815", plateReady) == "0") plateReady += 10;
  EXPECT_EQ(plc.Reads("1905 1915", plateReady), "1 0");  // still on its way home
  int64_t ready = plc.ReadyAt(plateReady);
  EXPECT_EQ(plc.Reads("1905 1815", ready), "0 1");  // the move relay dropped by itself
  EXPECT_NE(plc.Ask("RD DM350", ready), "0");
  plc.Ask("ST 1904", ready + 100);
  EXPECT_EQ(plc.Reads("1904 1815", ready + 110), "1 0");  // the next move drops it
}

TEST(Handler, ImpossibleMoveRaisesErrorKeepsPlatesAndWaitsForSystemReset) {
  // clang-format off
  const struct { const char* what; int relay, position, level, counter; } cases[] = {
      {"pick from an empty slot", 1908, 2, 2, 211}, {"place, handler empty", 1909, 2, 2, 211},
      {"load from an empty station", 1904, 2, 2, 211}, {"unload, station full", 1905, 1, 1, 212},
      {"place onto a full slot", 1909, 1, 1, 212}, {"level above the stack", 1908, 1, 11, 213},
      {"position 0", 1908, 0, 1, 213}};
  // clang-format on
  for (const auto& c : cases) {
    Sim plc;
    plc.Plates().Put(Place::At(5, 5), true);
    if (c.relay == 1909) plc.Plates().Put(Place::Handler(), c.position == 1);
    if (c.relay == 1905) plc.Plates().Put(Place::Station(), true);
    Places before = plc.Plates().Occupied();
    EXPECT_EQ(plc.Move(c.relay, c.position, c.level, 0), -1) << c.what;
    EXPECT_EQ(plc.Reads("1814 " + std::to_string(c.relay), 40000), "1 0") << c.what;
    EXPECT_EQ(plc.Dm(c.counter) * 0x10000 + (plc.Dm(200) & 0x8000), 0x18000) << c.what;
    // While the error stands every further move is refused and counted.
    EXPECT_EQ(plc.Move(1908, 5, 5, 40100), -1) << c.what;
    EXPECT_EQ(plc.Reads("1908 DM218", 70300), "0 1") << c.what;
    EXPECT_EQ(plc.Plates().Occupied(), before) << c.what;
    plc.Ask("ST 1900", 80000);
    EXPECT_EQ(plc.Reads("1814 1900", plc.ReadyAt(80010)), "0 0") << c.what;
    int again = plc.Plates().Holds(Place::Station()) ? 1908 : 1905;
    EXPECT_GT(plc.Move(again, 5, 5, 82000), 0) << c.what;  // moves work again
    EXPECT_EQ(plc.Plates().Count(), static_cast<int>(before.size())) << c.what;
  }
}

TEST(Gate, OpenAndCloseTakeTheGateTimeAndCountOneCycleCarryingAt65535) {
  plcsim::SimConfig config;
  config.gateCycles = 65534;
  Sim plc(config);
  plc.Ask("ST 1901", 100);
  EXPECT_EQ(plc.Reads("2 3 1915 501", 599), "0 0 0 1");  // opening takes at least 0.5 s
  EXPECT_EQ(plc.Reads("2 3 1915 1901 DM111 DM112", 3000), "0 1 1 0 65534 0");
  plc.Ask("ST 1903", 3010);  // End Access closes an open gate
  EXPECT_EQ(plc.Reads("2 1915 1903 DM111 DM112", 6000), "1 1 0 0 1");
  plc.Ask("ST 1902", 6100);  // closing a closed gate or ending an access counts nothing
  plc.Ask("ST 1903", 9000);
  EXPECT_EQ(plc.Reads("1915 DM111 DM112", 12000), "1 0 1");
}

TEST(Lift, TravelsWithReadyOffIsClampedAndHitsItsSwitchOnlyWithTheFault) {
  for (bool fault : {false, true}) {
    Sim plc;
    plc.faults.liftHit = fault;
    plc.Ask("WR DM6 65535", 0);  // beyond the top: clamped, so the travel stays short
    EXPECT_EQ(plc.Ask("RD 1915", 100), "0");
    EXPECT_EQ(plc.Ask("RD 1915", 5000), "1");
    plc.Ask("WR DM6 0", 5000);
    EXPECT_EQ(plc.Reads("1915 15 DM215", 10000), fault ? "1 1 1" : "1 0 0");
    plc.Ask("ST 1900", 10010);
    EXPECT_EQ(plc.Ask("RD 15", 10020), "0");
  }
}

struct Line {
  Sim plc;
  plcsim::SimLine line{plc};
  // Sends `bytes` at `ms` and returns what arrives within the read window.
  std::string Exchange(const std::string& bytes, int64_t ms, int64_t windowMs = 55) {
    line.Receive(bytes, Sim::Ms(ms));
    int64_t lastAt = 0;
    return line.Take(1000, Sim::Ms(ms + windowMs), lastAt);
  }
};

TEST(SimLine, RefusedRequestsGetAnErrorAnswerAndTheControllerStaysUp) {
  Line l;
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {"XX", "E0"}, {"rd 1915", "E0"}, {"\x01\xff\x80", "E0"}, {"RD", "E0"}, {"RD 1916", "E1"},
      {"ST 10000", "E1"}, {"RD -5", "E1"}, {"RD DM65536", "E1"}, {"RD T1000", "E1"},
      {"WR DM1", "E1"}, {"WR DM1 65536", "E1"}, {"WR DM1 5x", "E1"},
      {"RD " + std::string(100, '1'), "E2"}, {std::string(5000, 'A'), "E2"},
      {"RD 1915", "1"}, {"WR DM7 65535", "OK"}, {"RD DM7", "65535"},
      {"ST 1907\r", "OK"}, {"   ", ""}};  // an empty line is not answered
  // clang-format on
  int64_t ms = 0;
  for (const auto& [request, answer] : cases)
    EXPECT_EQ(l.Exchange(request + "\r", ms += 100), answer.empty() ? "" : answer + "\r\n")
        << request.substr(0, 20);
  EXPECT_EQ(l.plc.Reads("DM219 1907", 5000), "14 1");
}

TEST(SimLine, Faults) {
  Line errors, silent, garbled, overlong, late, paced;
  errors.line.faults.errorAnswers = 3;
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(errors.Exchange("CR\r", i * 100), i < 3 ? "E0\r\n" : "CC\r\n");
  silent.line.faults.silent = true;
  EXPECT_EQ(silent.Exchange("ST 1907\r", 0, 1000), "");
  EXPECT_TRUE(silent.plc.Relay(1907));  // but it still acts
  garbled.line.faults.garbled = true;
  std::string answer = garbled.Exchange("RD 1915\r", 0);
  EXPECT_TRUE(answer != "1\r\n" && !answer.empty()) << answer;
  overlong.line.faults.overlong = true;
  answer = overlong.Exchange("RD DM109\r", 0, 100);
  EXPECT_TRUE(answer.size() > 50 && answer.starts_with("1234")) << answer;
  late.line.faults.lateMicros = Sim::Ms(80);
  late.line.faults.goneAtMicros = Sim::Ms(1000);
  EXPECT_EQ(late.Exchange("CR\r", 0), "");  // misses the read window, arrives after it
  EXPECT_EQ(late.Exchange("", 100), "CC\r\n");
  EXPECT_EQ(late.Exchange("CR\r", 1000), "");  // the line has gone away
  // Paced: three request bytes in, the turnaround, four reply bytes out, 11 bits each.
  paced.line.paced = true;
  paced.line.Receive("CR\r", 0);
  int64_t lastAt = 0;
  EXPECT_EQ(paced.line.Take(50, Sim::Ms(100), lastAt), "CC\r\n");
  EXPECT_EQ(lastAt, 7 * plcsim::kByteMicros + paced.line.turnaroundMicros);
}

// Takes `args` as plcsim and pxn32 --sim do: "ok" once applied to `l` at 1 s, else the
// error. Words that aren't simulator options are skipped.
std::string Parse(const std::string& args, Line& l) {
  std::vector<std::string> words{"prog"};
  std::istringstream in(args);
  for (std::string word; in >> word;) words.push_back(word);
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  plcsim::SimOptions options;
  std::string error;
  for (int i = 1; i < static_cast<int>(argv.size()); ++i)
    if (plcsim::TakeSimOption(argv.size(), argv.data(), i, options, error) ==
        plcsim::OptionResult::kBad)
      return error;
  if (!plcsim::CheckSimOptions(options, error)) return error;
  plcsim::ApplySimOptions(options, l.plc, l.line, 1000);
  return "ok";
}

TEST(SimOptions, EveryOptionReachesTheModelOrTheLine) {
  Line all, none;
  ASSERT_EQ(Parse("--positions 12 --levels 4 --serial 777 --three-plate --two-carousels "
                  "--silent --error-answers 3 --garbled --overlong --late 80 --ready-stuck "
                  "--wrong-position --lift-hit --gone-after 2.5 --paced --device x --plate 12.4 "
                  "--plate 3.1",
                  all),
            "ok");
  const auto& m = all.plc;
  const auto& f = all.line.faults;
  EXPECT_EQ(std::tuple(m.Dm(29), m.Dm(25), m.Dm(109), f.errorAnswers, f.lateMicros, f.goneAtMicros),
            std::tuple(12, 4, 777, 3, 80000, 2501000));
  EXPECT_TRUE(m.Relay(1801) && m.Relay(1703) && m.Relay(3003) && m.faults.readyStuck &&
              m.faults.wrongPosition && m.faults.liftHit && f.silent && f.garbled && f.overlong &&
              all.line.paced);
  EXPECT_EQ(m.Plates().Occupied(), (std::vector<std::string>{"3.1", "12.4"}));  // not 1.1
  EXPECT_EQ(Parse("--no-plates --inactive", none), "ok");
  EXPECT_EQ(none.plc.Plates().Count(), 0);
  EXPECT_FALSE(none.plc.Relay(1801));
}

TEST(SimOptions, BadValuesAreRefusedWithAMessage) {
  for (const char* args : {"--positions 0", "--positions 57", "--levels x", "--serial 65536",
                           "--plate 1", "--plate 0.1", "--late -1", "--gone-after soon", "--levels",
                           "--plate 10.1", "--levels 3 --plate 1.4"}) {
    Line l;
    std::string error = Parse(args, l);
    EXPECT_TRUE(error != "ok" && !error.empty()) << args;
  }
}

}  // namespace
