// The format of the test records (--record DIR), shared by the console that writes them
// and the report that reads them: one CSV file per test run, named
// "YYYY-MM-DD_hh-mm-ss_<test>.csv" (with "-2", "-3" ... before ".csv" for a second test of
// the same name in the same second); a header row of the test's columns and "clock"; one
// row per access or move; then "# " lines: the summary as the screen showed it, the
// settings, the operator and serial number, and "ended <clock>".
#pragma once
#include <string>
#include <vector>

namespace record_format {

// The tests, as the file names and the report name them.
inline constexpr char kRandomBoth[] = "random-access-both";
inline constexpr char kRandomCarousel[] = "random-access-carousel";
inline constexpr char kRandomHandler[] = "random-access-handler";
inline constexpr char kAllSlots[] = "all-slots";
inline constexpr char kThreePlate[] = "three-plate";
inline constexpr char kCarouselMovement[] = "carousel-movement";

// The last column of every row: the wall-clock time the row's access ended,
// "2026-12-06 10:00:00.123".
inline constexpr char kClockColumn[] = "clock";
// Comment lines start with this; the last one is kEndedNote and the clock time.
inline constexpr char kNotePrefix[] = "# ";
inline constexpr char kEndedNote[] = "ended ";
// The note naming who ran the test on which store: "operator NAME, serial number N"
// (the random-access, all-slots and three-plate tests go on with ", levels L, positions P").
inline constexpr char kOperatorNote[] = "operator ";
inline constexpr char kSerialNumberNote[] = ", serial number ";

// Times are seconds with two decimals ("2.34"); yes and no are "yes" and "no".
inline const std::vector<std::string> kRandomBothColumns = {
    "number",      "tag",      "position", "level",    "DM0 reply",     "DM5 reply",
    "relay reply", "trace",    "pos test", "access s", "plate ready s", "end access reply",
    "wait s",      "rotation", "counted",  "marks"};
inline const std::vector<std::string> kRandomCarouselColumns = {
    "number",   "position",    "distance", "trace",   "arrived",       "taught s",
    "access s", "deviation s", "wait s",   "counted", "deviation stop"};
inline const std::vector<std::string> kRandomHandlerColumns = {
    "cycle",    "move",     "level",  "DM5 reply", "relay reply",
    "access s", "DM5 read", "wait s", "counted"};
inline const std::vector<std::string> kAllSlotsColumns = {
    "cycle",           "level",       "position",         "first move",
    "first DM0 reply", "first DM5 reply", "first relay reply", "second move",
    "second DM0 reply", "second DM5 reply", "second relay reply"};
inline const std::vector<std::string> kThreePlateColumns = {
    "move", "cycle position", "position", "level", "relay", "DM0 reply", "DM5 reply", "relay reply"};
// The carousel movement test counts a move that took 6 to 199 hundredths, and calls a
// deviation from the taught time above 6 hundredths an error.
inline constexpr int kShortestCountedMove = 6, kLongestCountedMove = 199;
inline constexpr int kMoveTolerance = 6;
inline const std::vector<std::string> kCarouselMovementColumns = {
    "number",      "position", "steps",           "pause s", "taught s", "measured s",
    "deviation s", "errors",   "max deviation s", "counted"};

}  // namespace record_format
