// Judges a both-mode run: each row against the store's books, then the summary; a tally only.
#pragma once
#include <string>

#include "plcsim/model.h"

struct AccessJudge {
  // `away` is the far end of every move: the transfer station or the handler.
  AccessJudge(const plcsim::PlcModel& plc, plcsim::Place away)
      : plc(plc), away(away), books(plc.Plates()) {}
  // A row the screen ended; false when it is neither an access row nor the take-out.
  bool See(const std::string& row);
  void Count();

  const plcsim::PlcModel& plc;
  plcsim::Place away;
  plcsim::PlateStore books;  // where the rows put the plates
  int refusedBefore = 0, stoppedBefore = 0;
  long long stopped = 0, impossible = 0, wrongRows = 0, count = 0, sumAt = 0, sumPr = 0;
  std::string firstWrong;
  // Tenths, as shown; the last access waits until the next one says it counted.
  struct Access {
    int number = 0, at = 0, pr = 0, pt = 0, interval = 0;
  } last;
  int minAt = 0, maxAt = 0, minPr = 0, maxPr = 0, minPt = 0, maxPt = 0;
  int marks = 0, markedTwice = 0, misnumbered = 0;
};

// The books and the summary. `lastCut`: the quit cut the last access, shown but not counted.
void JudgeAccessRun(AccessJudge& judge, bool lastCut = false);
