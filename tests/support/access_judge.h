// Judges a both-mode random-access run by what it showed: each row, as the screen ends it,
// against the store's books (the plates where the rows put them, refusals only where a move
// could not be made or the store stopped it), then the summary against what the rows add
// up to. Only the tally is kept, so a day's run holds no more at its end.
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
  // Tenths, as the rows show them. The last access row waits in `last` until the next one
  // (or the judgement) says it counted.
  struct Access {
    int number = 0, at = 0, pr = 0, pt = 0, interval = 0;
  } last;
  int minAt = 0, maxAt = 0, minPr = 0, maxPr = 0, minPt = 0, maxPt = 0;
  int marks = 0, markedTwice = 0, skipped = 0, misnumbered = 0;
};

// The books (every row's plates, none lost, no move while the store was not ready) and the
// summary on the screen. `lastCut`: the quit came during the last access, which the rows
// show and the count leaves out.
void JudgeAccessRun(AccessJudge& judge, bool lastCut = false);
