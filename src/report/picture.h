// The pictures of the page as plain data, before any SVG: axes with their ticks, marks
// at data coordinates, levels, bands and bars. The charts fill them from the records;
// report/svg.h draws them. Every kind of mark has its own shape or dash and a name in
// the legend, so the page reads without its colours too.
#pragma once
#include <string>
#include <vector>

namespace report {

enum class Shape { kDot, kRing, kCross, kTriangle, kDash };

struct Tick {
  double at = 0;
  std::string text;
};

struct Axis {
  std::string title;  // with its unit, "access time (s)"
  double low = 0, high = 1;
  std::vector<Tick> ticks;
};

struct Point {
  double x = 0, y = 0;
};

struct Series {
  std::string name;  // in the legend; empty: not listed
  Shape shape = Shape::kDot;
  const char* colour = "#000";
  std::vector<Point> points;
  bool onXAxis = false;  // drawn on the x axis at each point's x, whatever its y
};

// A line across the plot at one y: the minimum, the mean, the maximum.
struct Level {
  std::string name;  // "max 9.44 s", written at its right end
  double y = 0;
  const char* dash = "";  // SVG stroke-dasharray; empty for a solid line
};

// A stretch of the x axis (the line gone) or of the y axis (a counting window).
struct Band {
  std::string name;
  double from = 0, to = 0;
  bool alongX = true;
  const char* colour = "#999";
};

struct Bar {
  double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  const char* colour = "#000";
  std::string label;  // written above it; empty: none
};

struct BarKind {
  std::string name;
  const char* colour;
};

struct Plot {
  std::string title;
  std::string note;  // under the title: what was drawn, how it was thinned
  Axis x, y;
  std::vector<Band> bands;
  std::vector<Bar> bars;
  std::vector<BarKind> barKinds;  // the bars' legend
  std::vector<Level> levels;
  std::vector<Series> series;
};

// Colours that stay apart for the colour-blind (Okabe and Ito).
inline constexpr char kBlue[] = "#0072B2";
inline constexpr char kOrange[] = "#E69F00";
inline constexpr char kVermillion[] = "#D55E00";
inline constexpr char kGreen[] = "#009E73";
inline constexpr char kGrey[] = "#777777";
inline constexpr char kBlack[] = "#000000";

}  // namespace report
