#include "plcsim/plates.h"

#include <algorithm>

namespace plcsim {

PlateStore::PlateStore(int positions, int levels, const std::vector<Slot>& plates)
    : positions_(std::max(positions, 0)),
      levels_(std::max(levels, 0)),
      held_(static_cast<size_t>(positions_ * levels_ + 2), false) {
  for (const Slot& slot : plates) Put(Place::At(slot.position, slot.level), true);
}

int PlateStore::Index(const Place& place) const {
  if (place == Place::Handler()) return positions_ * levels_;
  if (place == Place::Station()) return positions_ * levels_ + 1;
  if (place.position < 1 || place.position > positions_ || place.level < 1 || place.level > levels_)
    return -1;
  return (place.position - 1) * levels_ + place.level - 1;
}

bool PlateStore::Exists(const Place& place) const {
  return Index(place) >= 0;
}

bool PlateStore::Holds(const Place& place) const {
  int i = Index(place);
  return i >= 0 && held_[static_cast<size_t>(i)];
}

void PlateStore::Put(const Place& place, bool plate) {
  int i = Index(place);
  if (i >= 0) held_[static_cast<size_t>(i)] = plate;
}

bool PlateStore::Move(const Place& from, const Place& to) {
  if (!Holds(from) || !Exists(to) || Holds(to)) return false;
  Put(from, false);
  Put(to, true);
  return true;
}

int PlateStore::Count() const {
  return static_cast<int>(std::count(held_.begin(), held_.end(), true));
}

std::vector<std::string> PlateStore::Occupied() const {
  std::vector<std::string> places;
  for (int p = 1; p <= positions_; ++p)
    for (int l = 1; l <= levels_; ++l)
      if (Holds(Place::At(p, l))) places.push_back(std::to_string(p) + "." + std::to_string(l));
  if (Holds(Place::Handler())) places.push_back("handler");
  if (Holds(Place::Station())) places.push_back("station");
  return places;
}

}  // namespace plcsim
