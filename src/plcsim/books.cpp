#include "plcsim/books.h"

namespace plcsim {

std::string BooksLine(const PlcModel& model) {
  std::string places;
  for (const std::string& place : model.Plates().Occupied()) places += " " + place;
  return "simulated store: " + (places.empty() ? "no plates" : "plates at" + places) +
         ", moves refused " + std::to_string(model.RefusedMoves()) + ", plates lost " +
         std::to_string(model.PlatesLost());
}

}  // namespace plcsim
