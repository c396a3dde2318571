// The simulator's command-line options, as plcsim and pxn32 --sim take them.
#include "plcsim/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
  plcsim::SimOptions options;
  std::string error;
  bool ok = true;
  std::vector<std::string> notOurs;
};

Parsed Parse(std::vector<std::string> args) {
  Parsed p;
  args.insert(args.begin(), "prog");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  int argc = static_cast<int>(argv.size());
  for (int i = 1; i < argc && p.ok; ++i) {
    auto result = plcsim::TakeSimOption(argc, argv.data(), i, p.options, p.error);
    if (result == plcsim::OptionResult::kNotOurs) p.notOurs.push_back(argv[i]);
    if (result == plcsim::OptionResult::kBad) p.ok = false;
  }
  if (p.ok) p.ok = plcsim::CheckSimOptions(p.options, p.error);
  return p;
}

std::vector<std::string> PlatesOf(const Parsed& p) {
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  plcsim::ApplySimOptions(p.options, model, line, 0);
  return model.Plates().Occupied();
}

TEST(SimOptions, DefaultsAreTheStandardStoreWithOnePlateInSlotOneOne) {
  Parsed p = Parse({});
  ASSERT_TRUE(p.ok);
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  plcsim::ApplySimOptions(p.options, model, line, 0);
  EXPECT_EQ(model.Dm(29), 9);
  EXPECT_EQ(model.Dm(25), 10);
  EXPECT_EQ(model.Dm(109), 1234);
  EXPECT_EQ(model.Plates().Occupied(), std::vector<std::string>{"1.1"});
  EXPECT_FALSE(model.Relay(1703));
  EXPECT_FALSE(line.paced);
  EXPECT_EQ(line.faults.goneAtMicros, -1);
}

TEST(SimOptions, PlatesReplaceTheDefaultOrEmptyTheStore) {
  EXPECT_EQ(PlatesOf(Parse({"--plate", "1.2", "--plate", "3.1"})),
            (std::vector<std::string>{"1.2", "3.1"}));
  EXPECT_EQ(PlatesOf(Parse({"--no-plates"})), std::vector<std::string>{});
  EXPECT_EQ(PlatesOf(Parse({"--positions", "12", "--plate", "12.10"})),
            std::vector<std::string>{"12.10"});
}

TEST(SimOptions, EveryOptionReachesTheModelOrTheLine) {
  Parsed p = Parse({"--positions",
                    "12",
                    "--levels",
                    "4",
                    "--serial",
                    "777",
                    "--three-plate",
                    "--two-carousels",
                    "--silent",
                    "--error-answers",
                    "3",
                    "--garbled",
                    "--overlong",
                    "--late",
                    "80",
                    "--ready-stuck",
                    "--wrong-position",
                    "--lift-hit",
                    "--gone-after",
                    "2.5",
                    "--paced",
                    "--device",
                    "x"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.notOurs, (std::vector<std::string>{"--device", "x"}));
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  plcsim::ApplySimOptions(p.options, model, line, 1000);
  EXPECT_EQ(model.Dm(29), 12);
  EXPECT_EQ(model.Dm(25), 4);
  EXPECT_EQ(model.Dm(109), 777);
  EXPECT_TRUE(model.Relay(1703));
  EXPECT_TRUE(model.Relay(3003));
  EXPECT_TRUE(model.faults.readyStuck && model.faults.wrongPosition && model.faults.liftHit);
  EXPECT_TRUE(line.faults.silent && line.faults.garbled && line.faults.overlong && line.paced);
  EXPECT_EQ(line.faults.errorAnswers, 3);
  EXPECT_EQ(line.faults.lateMicros, 80000);
  EXPECT_EQ(line.faults.goneAtMicros, 1000 + 2500000);
}

TEST(SimOptions, BadValuesAreRefusedWithAMessage) {
  const std::vector<std::vector<std::string>> bad = {
      {"--positions", "0"},
      {"--positions", "57"},
      {"--levels", "x"},
      {"--serial", "65536"},
      {"--plate", "1"},
      {"--plate", "0.1"},
      {"--late", "-1"},
      {"--gone-after", "soon"},
      {"--levels"},
      {"--plate", "10.1"},
      {"--levels", "3", "--plate", "1.4"},
  };
  for (const auto& args : bad) {
    Parsed p = Parse(args);
    EXPECT_FALSE(p.ok) << args[0];
    EXPECT_FALSE(p.error.empty()) << args[0];
  }
}

}  // namespace
