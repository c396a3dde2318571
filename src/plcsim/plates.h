// Where every plate is: one place per slot, the handler and the transfer station, each
// holding one plate or none.
#pragma once
#include <string>
#include <vector>

namespace plcsim {

struct Slot {
  int position = 1;
  int level = 1;
};

// A place a plate can be: a slot, or the handler (position -1) or the transfer station
// (position -2).
struct Place {
  int position = 0;
  int level = 0;
  static Place Handler() { return {-1, 0}; }
  static Place Station() { return {-2, 0}; }
  static Place At(int position, int level) { return {position, level}; }
  bool operator==(const Place&) const = default;
};

class PlateStore {
 public:
  PlateStore() = default;
  PlateStore(int positions, int levels, const std::vector<Slot>& plates);

  bool Exists(const Place& place) const;
  bool Holds(const Place& place) const;
  // Moves the plate from `from` to `to`; false (and nothing changes) when `from` is empty,
  // `to` is full or either doesn't exist.
  bool Move(const Place& from, const Place& to);
  void Put(const Place& place, bool plate);

  int Count() const;
  // Every occupied place, in order: slots as "P.L" by position then level, then
  // "handler" and "station".
  std::vector<std::string> Occupied() const;

 private:
  int Index(const Place& place) const;

  int positions_ = 0;
  int levels_ = 0;
  std::vector<bool> held_;  // slots by (position - 1) * levels + level - 1, then handler, station
};

}  // namespace plcsim
