// The simulated controller served on a pseudo-terminal, reached through the real
// serial device in real time.
#include "plcsim/pty_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "KV_Lib3/exchange.h"
#include "comLib3/serial.h"
#include "comLib3/serial_posix.h"
#include "console/clock.h"

namespace {

constexpr int64_t kWindow = 55000;

struct ServedSim {
  ServedSim() { server = plcsim::PtyServer::Start(line, error); }
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  std::string error;
  std::unique_ptr<plcsim::PtyServer> server;
};

std::unique_ptr<SerialDevice> Connect(const std::string& path) {
  int error = 0;
  auto device = OpenPosixSerial(path, error);
  EXPECT_TRUE(device) << path << " error " << error;
  if (device) {
    EXPECT_TRUE(device->Configure(LineSettings{}, error)) << error;
  }
  return device;
}

std::string Exchange(SerialDevice& device, const std::string& command) {
  device.Purge();
  device.Write(command + "\r");
  return device.Read(50, kWindow);
}

TEST(PtyServer, AnswersRequestsAndSurvivesClientsComingAndGoing) {
  ServedSim sim;
  ASSERT_TRUE(sim.server) << sim.error;
  for (int client = 0; client < 2; ++client) {
    auto device = Connect(sim.server->SlavePath());
    ASSERT_TRUE(device);
    EXPECT_EQ(Exchange(*device, "CR"), "CC\r\n") << "client " << client;
    EXPECT_EQ(Exchange(*device, "WR DM300 77"), "OK\r\n");
    std::string value = Exchange(*device, "RD DM300");
    EXPECT_TRUE(value.ends_with("77\r\n") && value[0] != 'E') << value;
  }
  sim.server.reset();  // stops the thread; the model is ours again
  EXPECT_EQ(sim.model.Dm(300), 77);
}

TEST(PtyServer, StopsWhileAClientStillHoldsTheLine) {
  ServedSim sim;
  ASSERT_TRUE(sim.server) << sim.error;
  auto device = Connect(sim.server->SlavePath());
  ASSERT_TRUE(device);
  device->Write("CR\r");
  sim.server.reset();  // must join, not hang
  // The client now talks into a line nobody serves: empty replies, no hang.
  EXPECT_EQ(Exchange(*device, "CR"), "");
}

// Not a pass/fail figure: how long one exchange takes against the simulator on a
// pseudo-terminal. It is the 55 ms read window (the reply never fills 50 bytes) plus
// the time the bytes take to travel.
TEST(PtyServer, ExchangeTimeFigure) {
  ServedSim sim;
  ASSERT_TRUE(sim.server) << sim.error;
  const std::string path = sim.server->SlavePath();
  SetSerialOpener([path](int, int& error) { return OpenPosixSerial(path, error); });
  ASSERT_EQ(OpenComPort(1, 9600, 'E', 1, 8), 0);

  constexpr int kExchanges = 20;
  std::vector<int64_t> took;
  console::Clock& clock = console::TheClock();
  for (int i = 0; i < kExchanges; ++i) {
    std::string reply;
    int64_t start = clock.NowMicros();
    CommRequest(1, reply);
    took.push_back(clock.NowMicros() - start);
    EXPECT_EQ(reply, "CC");
  }
  CloseComPort(1);
  SetSerialOpener(nullptr);

  std::sort(took.begin(), took.end());
  int64_t sum = 0;
  for (int64_t t : took) sum += t;
  std::printf(
      "one CR exchange over a pseudo-terminal, %d runs: min %.2f ms, median %.2f ms, "
      "mean %.2f ms, max %.2f ms\n",
      kExchanges, took.front() / 1000.0, took[took.size() / 2] / 1000.0,
      double(sum) / kExchanges / 1000.0, took.back() / 1000.0);
  RecordProperty("median_exchange_us", std::to_string(took[took.size() / 2]));
}

}  // namespace
