#include "support/access_judge.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "console/console.h"
#include "support/virtual_world.h"

namespace {

int Tenths(const char* text) {
  return static_cast<int>(std::lround(std::atof(text) * 10));
}

// The figure after `label` on a summary row; the plate-ready one after "PR".
int SummaryTenths(int row, const char* label, bool plateReady = false) {
  const std::string text = console::TheScreen().RowText(row);
  const size_t at = text.find(label), pr = text.find("PR ");
  EXPECT_NE(at, std::string::npos) << "summary row " << row << ": " << text;
  if (at == std::string::npos || (plateReady && pr == std::string::npos)) return -1;
  return Tenths(text.c_str() + (plateReady ? pr + 3 : at + std::strlen(label)));
}

}  // namespace

void AccessJudge::Count() {
  const Access& a = last;
  minAt = count ? std::min(minAt, a.at) : a.at, maxAt = std::max(maxAt, a.at);
  minPr = count ? std::min(minPr, a.pr) : a.pr, maxPr = std::max(maxPr, a.pr);
  if (a.pt > 0) minPt = minPt ? std::min(minPt, a.pt) : a.pt, maxPt = std::max(maxPt, a.pt);
  sumAt += a.at, sumPr += a.pr, ++count;
}

bool AccessJudge::See(const std::string& row) {
  // "  7³L 4/ 1³POK³LOK³OK³E FGHID                 ³ 17³At  3.4  0.0 OK³Wt 41³D EFGH"
  const bool takeOut =
      row.starts_with("Unld Plate form 1,1") || row.starts_with("Get Plate from 1,1");
  const size_t wait = row.find("\xB3Wt");
  if (!takeOut && (row.size() < 56 ||
                   row.compare(42, 4,
                               "\xB3"
                               "At ") ||
                   wait == row.npos))
    return false;
  const size_t tag = row.find('\xB3') + 1;  // the number grows past three digits
  const bool in = !takeOut && row[tag] == 'L';
  const plcsim::Place slot =
      takeOut ? plcsim::Place::At(1, 1)
              : plcsim::Place::At(std::atoi(&row[tag + 1]), std::atoi(&row[tag + 4]));
  const int refused = plc.RefusedMoves() - std::exchange(refusedBefore, plc.RefusedMoves());
  const int stop = plc.Dm(216) - std::exchange(stoppedBefore, plc.Dm(216));
  const bool possible = books.Move(in ? away : slot, in ? slot : away);
  if (possible && stop == 1) books.Move(in ? slot : away, in ? away : slot), ++stopped;
  impossible += !possible;
  if (refused != (possible ? stop : 1) || (!possible && stop) ||
      books.Occupied() != plc.Plates().Occupied())
    if (wrongRows++ == 0) firstWrong = Escaped(row);
  if (takeOut) return true;

  if (last.number) Count();  // a later access came: the one before it counted
  last = {std::atoi(row.c_str()), Tenths(&row[46]), Tenths(&row[51]), std::atoi(&row[39]),
          std::atoi(&row[wait + 3]) * (row.find("\xB3\xB3Wt") == row.npos ? 10 : 1)};
  misnumbered += last.number != count + 1;
  int before = 0, after = 0;  // the access trace's marks, the rotation's
  for (size_t at = 0; (at = row.find('<', at)) != row.npos;)
    ++(at < wait ? before : after), at += row.compare(at, 3, "<<<") == 0 ? 3 : 1;
  marks += before + after, markedTwice += (before > 1) + (after > 1);
  return true;
}

void JudgeAccessRun(AccessJudge& j, bool lastCut) {
  if (j.last.number && !lastCut) j.Count();
  EXPECT_EQ(j.wrongRows, 0) << "first " << j.firstWrong;
  EXPECT_EQ(j.plc.PlatesLost(), 0);
  EXPECT_EQ(j.plc.MovesWhileNotReady(), 0);  // every target and move waited for Ready
  EXPECT_EQ(j.misnumbered, 0);
  EXPECT_GT(j.count, 0);
  // Row 14 on: the summary in the banner's window; the means within the rows' rounding.
  EXPECT_EQ(SummaryTenths(14, "Total Accesses:"), 10 * j.count);
  EXPECT_EQ(SummaryTenths(15, "Interval [Min]:"), j.last.interval / 60 * 10);
  EXPECT_EQ(SummaryTenths(16, "Min. Access Time:"), j.minAt);
  EXPECT_EQ(SummaryTenths(16, "", true), j.minPr);
  EXPECT_EQ(SummaryTenths(17, "Max. Access Time:"), j.maxAt);
  EXPECT_EQ(SummaryTenths(17, "", true), j.maxPr);
  EXPECT_NEAR(SummaryTenths(18, "Mean Access Time:"), j.sumAt / double(j.count), 1.01);
  EXPECT_NEAR(SummaryTenths(18, "", true), j.sumPr / double(j.count), 1.01);
  EXPECT_EQ(SummaryTenths(20, "Max PosTest Time:"), j.maxPt);
  EXPECT_EQ(SummaryTenths(21, "Min PosTest Tim:"), j.minPt ? j.minPt : 2147483647);
  EXPECT_EQ(SummaryTenths(23, "Car. Pos. Errs"), 10 * j.marks);
}
