// The pictures of the tests that move plates slot by slot or turn the carousel step by
// step: the all-slots grid, the carousel movement against its taught times, and the
// three-plate moves per position.
#pragma once
#include <string>
#include <vector>

#include "report/picture.h"
#include "report/record.h"

namespace report {

// The all-slots test: which slots were served, how often, how many of those times a
// move had a reply other than OK (an error "E..", or none).
struct SlotCell {
  int position = 0, level = 0;
  int served = 0, notOk = 0;
};
struct SlotGrid {
  int positions = 0, levels = 0;  // the store's, or as far as the rows reach
  int cycles = 0;                 // the highest cycle number in the rows
  std::vector<SlotCell> served;   // by position, then level; only the slots served
  int outside = 0;                // rows past any store's positions or levels, not drawn
};
SlotGrid AllSlotsGrid(const Record& record);

// Measured against taught time for each step count, the counting window shaded and the
// deviations above the tolerance marked.
Plot CarouselMovementPlot(const Record& record);

// The three-plate test: moves per carousel position, those with a reply not OK apart.
Plot ThreePlateMoves(const Record& record);
// Its rows with a reply that was not OK.
std::vector<const Row*> MovesNotOk(const Record& record);

// "OK" is the only good reply; an error ("E1") or nothing at all is not.
bool RepliesOk(const Record& record, const Row& row);

}  // namespace report
