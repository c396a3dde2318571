// The controller's end of the line: the exact bytes it answers, what it refuses, and the
// line faults a test can switch on.
#include "plcsim/line.h"

#include <gtest/gtest.h>

#include "plcsim/model.h"
#include "sim_helpers.h"

using plcsim::PlcModel;
using plcsim::SimLine;
using simtest::Ms;

namespace {

class LineTest : public ::testing::Test {
 protected:
  // Sends `bytes` at `ms` and returns what arrives within the 55 ms read window.
  std::string Exchange(const std::string& bytes, int64_t ms, int64_t windowMs = 55) {
    line.Receive(bytes, Ms(ms));
    int64_t lastAt = 0;
    return line.Take(50, Ms(ms + windowMs), lastAt);
  }

  PlcModel plc;
  SimLine line{plc};
};

TEST_F(LineTest, RequestsTheControllerRefusesGetAnErrorAnswerAndItStaysUp) {
  struct Case {
    std::string request;
    std::string reply;
  } cases[] = {
      {"XX\r", "E0\r\n"},
      {"rd 1915\r", "E0\r\n"},
      {std::string("\x01\xff\x80", 3) + "\r", "E0\r\n"},
      {"RD\r", "E0\r\n"},
      {"RD 1916\r", "E1\r\n"},
      {"ST 10000\r", "E1\r\n"},
      {"RD -5\r", "E1\r\n"},
      {"RD DM65536\r", "E1\r\n"},
      {"RD T1000\r", "E1\r\n"},
      {"WR DM1\r", "E1\r\n"},
      {"WR DM1 65536\r", "E1\r\n"},
      {"WR DM1 5x\r", "E1\r\n"},
      {"RD " + std::string(100, '1') + "\r", "E2\r\n"},
      {std::string(5000, 'A') + "\r", "E2\r\n"},
  };
  int64_t ms = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(Exchange(c.request, ms), c.reply) << c.request.substr(0, 20);
    ms += 100;
  }
  EXPECT_EQ(plc.Dm(219), static_cast<uint16_t>(std::size(cases)));
  EXPECT_EQ(Exchange("RD 1915\r", ms), "1\r\n");
  EXPECT_EQ(Exchange("WR DM7 65535\r", ms + 100), "OK\r\n");
  EXPECT_EQ(Exchange("RD DM7\r", ms + 200), "65535\r\n");
}

TEST_F(LineTest, EmptyLineAfterACommandWithItsOwnCarriageReturnIsNotAnswered) {
  EXPECT_EQ(Exchange("ST 1907\r\r", 0), "OK\r\n");
  EXPECT_EQ(Exchange("   \r", 100), "");
  EXPECT_TRUE(plc.Relay(1907));
}

TEST_F(LineTest, ErrorAnswersForTheFirstAttemptsThenTheRealOne) {
  line.faults.errorAnswers = 3;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Exchange("CR\r", i * 100), "E0\r\n");
  EXPECT_EQ(Exchange("CR\r", 300), "CC\r\n");
}

TEST_F(LineTest, SilentControllerSaysNothingButStillActs) {
  line.faults.silent = true;
  EXPECT_EQ(Exchange("ST 1907\r", 0, 1000), "");
  EXPECT_TRUE(plc.Relay(1907));
}

TEST_F(LineTest, GarbledAndOverlongAnswers) {
  line.faults.garbled = true;
  std::string garbled = Exchange("RD 1915\r", 0);
  EXPECT_NE(garbled, "1\r\n");
  EXPECT_FALSE(garbled.empty());
  line.faults.garbled = false;
  line.faults.overlong = true;
  line.Receive("RD DM109\r", Ms(100));
  int64_t lastAt = 0;
  std::string overlong = line.Take(1000, Ms(200), lastAt);
  EXPECT_GT(overlong.size(), 50u);
  EXPECT_EQ(overlong.substr(0, 4), "1234");
}

TEST_F(LineTest, LateAnswerMissesTheReadWindowAndArrivesAfterIt) {
  line.faults.lateMicros = Ms(80);
  EXPECT_EQ(Exchange("CR\r", 0), "");
  int64_t lastAt = 0;
  EXPECT_EQ(line.Take(50, Ms(200), lastAt), "CC\r\n");
}

TEST_F(LineTest, LineThatGoesAwayAnswersNothingFromThenOn) {
  line.faults.goneAtMicros = Ms(1000);
  EXPECT_EQ(Exchange("CR\r", 0), "CC\r\n");
  EXPECT_EQ(Exchange("CR\r", 1000), "");
  EXPECT_TRUE(line.Gone(Ms(5000)));
}

TEST_F(LineTest, PacedAnswerTakesElevenBitsPerCharacterAtNineThousandSixHundredBaud) {
  line.paced = true;
  line.Receive("CR\r", 0);
  int64_t lastAt = 0;
  EXPECT_EQ(line.Take(50, Ms(100), lastAt), "CC\r\n");
  // Three request bytes in, the turnaround, then four reply bytes out.
  EXPECT_EQ(lastAt, 7 * plcsim::kByteMicros + line.turnaroundMicros);
}

}  // namespace
