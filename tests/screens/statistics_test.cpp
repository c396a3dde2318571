// The operating statistics behind the access code.
#include "PXN32_00/screens.h"
#include "support/virtual_world.h"

using StatisticsTest = VirtualWorld;

// Only the code, in any case, opens the figures. Two-word figures are high * 65535 + low,
// without overflow at the largest words.
TEST_F(StatisticsTest, TheAccessCodeAloneOpensTheFigures) {
  const char* entries[] = {"KLMB", "klmb", "kLmB", "KLMB ", " KLMB", "KLM", "KLMBK", ""};
  for (int i = 0; i < 8; ++i) {
    const std::string entry = entries[i];
    const bool opens = i < 3;
    SCOPED_TRACE("'" + entry + "'");
    RunScreen(StatisticsScreen, entry + (opens ? "\rq" : "\r"));
    ExpectSent(Requests(std::string("RD DM200,RD 1915") +
                        (opens ? ",RD DM200,RD 1915,RD DM110,RD DM111,RD DM112,RD DM117,"
                                 "RD DM118,RD DM119,RD DM120"
                               : "")));
  }
  for (int address : {110, 111, 112, 117, 118, 119, 120}) plc.SetDm(address, 65535);
  Script("klmb\rq");
  StatisticsScreen();
  ExpectRows(3, Rows("System Hobs [hours]   65535|Total Gate Cycles     4294901760|"
                     "On Time [s]        4294901760|Avrg Acs/hour         65536.0|"
                     "On Percent. [%]       100.0|"));
}
