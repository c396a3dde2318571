#include "report/svg.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace report {

namespace {

constexpr double kLeft = 64, kRight = 104, kTop = 48, kBottom = 70;
constexpr double kCharWidth = 6.2;  // of the 11 px sans-serif, for laying out the legend

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

// Where data coordinates land in the plot's frame.
struct Frame {
  const Plot& plot;
  double left, top, right, bottom;
  double X(double x) const {
    return left + (x - plot.x.low) / (plot.x.high - plot.x.low) * (right - left);
  }
  double Y(double y) const {
    return bottom - (y - plot.y.low) / (plot.y.high - plot.y.low) * (bottom - top);
  }
};

std::string Text(double x, double y, std::string_view text, const char* extra = "") {
  return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"" + extra + ">" + XmlText(text) +
         "</text>\n";
}

// One path segment drawing `shape` at (x, y).
std::string ShapePath(Shape shape, double x, double y) {
  switch (shape) {
    case Shape::kDot:
      return "M" + Num(x) + " " + Num(y) + "h0";
    case Shape::kRing:
      return "M" + Num(x - 2.5) + " " + Num(y) + "a2.5 2.5 0 1 0 5 0a2.5 2.5 0 1 0 -5 0";
    case Shape::kCross:
      return "M" + Num(x - 3.5) + " " + Num(y - 3.5) + "l7 7m0 -7l-7 7";
    case Shape::kTriangle:
      return "M" + Num(x) + " " + Num(y - 5) + "l4.5 8h-9z";
    case Shape::kDash:
      return "M" + Num(x - 9) + " " + Num(y) + "h18";
  }
  return "";
}

std::string ShapeStyle(Shape shape, const char* colour) {
  const std::string c = colour;
  switch (shape) {
    case Shape::kDot:
      return "stroke=\"" + c + "\" stroke-width=\"4.5\" stroke-linecap=\"round\" fill=\"none\"";
    case Shape::kTriangle:
      return "fill=\"" + c + "\" stroke=\"none\"";
    case Shape::kDash:
      return "stroke=\"" + c + "\" stroke-width=\"2.5\" fill=\"none\"";
    default:
      return "stroke=\"" + c + "\" stroke-width=\"1.5\" fill=\"none\"";
  }
}

std::string SeriesSvg(const Series& series, const Frame& f) {
  std::string d;
  for (const Point& p : series.points)
    d += ShapePath(series.shape, f.X(p.x), series.onXAxis ? f.bottom - 5 : f.Y(p.y));
  return "<path " + ShapeStyle(series.shape, series.colour) + " d=\"" + d + "\"/>\n";
}

std::string Rect(double x, double y, double w, double h, const std::string& style) {
  return "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(std::max(w, 0.5)) +
         "\" height=\"" + Num(std::max(h, 0.0)) + "\" " + style + "/>\n";
}

std::string BandsSvg(const Frame& f) {
  std::string svg;
  for (const Band& b : f.plot.bands) {
    const std::string style = "fill=\"" + std::string(b.colour) + "\" fill-opacity=\"0.18\"";
    if (b.alongX) {
      // A gap of seconds in a week still shows, two pixels wide.
      svg +=
          Rect(f.X(b.from), f.top, std::max(f.X(b.to) - f.X(b.from), 2.0), f.bottom - f.top, style);
      svg += Text(f.X(b.from) + 2, f.top + 11, b.name, " font-size=\"10\"");
    } else {
      const double top = std::max(f.Y(b.to), f.top), low = std::min(f.Y(b.from), f.bottom);
      svg += Rect(f.left, top, f.right - f.left, low - top, style);
      svg += Text(f.left + 4, top + 11, b.name, " font-size=\"10\"");
    }
  }
  return svg;
}

std::string BarsSvg(const Frame& f) {
  std::string svg;
  for (const Bar& b : f.plot.bars) {
    const double x = f.X(b.x0), w = f.X(b.x1) - x;
    svg += Rect(x + 0.5, f.Y(b.y1), w - 1, f.Y(b.y0) - f.Y(b.y1),
                "fill=\"" + std::string(b.colour) + "\"");
    if (!b.label.empty() && w >= b.label.size() * 5.5)
      svg += Text(x + w / 2, f.Y(b.y1) - 3, b.label, " font-size=\"9\" text-anchor=\"middle\"");
  }
  return svg;
}

// The levels' names at the right end, pushed apart where they would overlap.
std::string LevelsSvg(const Frame& f) {
  std::string svg;
  double lastLabel = -1e9;
  for (const Level& l : f.plot.levels) {  // from the top down
    const double y = f.Y(l.y);
    svg += "<path stroke=\"#000\" stroke-width=\"1\" fill=\"none\"" +
           (*l.dash ? " stroke-dasharray=\"" + std::string(l.dash) + "\"" : std::string()) +
           " d=\"M" + Num(f.left) + " " + Num(y) + "H" + Num(f.right) + "\"/>\n";
    const double label = std::max(y + 4, lastLabel + 12);
    svg += Text(f.right + 4, label, l.name, " font-size=\"10\"");
    lastLabel = label;
  }
  return svg;
}

std::string AxesSvg(const Frame& f) {
  const Plot& p = f.plot;
  std::string svg, grid, ticks;
  for (const Tick& t : p.y.ticks) {
    const double y = f.Y(t.at);
    grid += "M" + Num(f.left) + " " + Num(y) + "H" + Num(f.right);
    ticks += "M" + Num(f.left - 4) + " " + Num(y) + "h4";
    svg += Text(f.left - 6, y + 4, t.text, " text-anchor=\"end\"");
  }
  for (const Tick& t : p.x.ticks) {
    const double x = f.X(t.at);
    ticks += "M" + Num(x) + " " + Num(f.bottom) + "v4";
    svg += Text(x, f.bottom + 16, t.text, " text-anchor=\"middle\"");
  }
  svg +=
      "<path stroke=\"#ddd\" d=\"" + grid + "\"/>\n<path stroke=\"#000\" d=\"" + ticks + "\"/>\n";
  svg += Text((f.left + f.right) / 2, f.bottom + 32, p.x.title, " text-anchor=\"middle\"");
  const std::string middle = Num((f.top + f.bottom) / 2);
  svg += "<text transform=\"translate(14 " + middle + ") rotate(-90)\" text-anchor=\"middle\">" +
         XmlText(p.y.title) + "</text>\n";
  return svg;
}

// The legend in rows under the x axis: each entry's mark as the plot draws it, its name.
std::string LegendSvg(const Plot& p, double width, double top) {
  struct Entry {
    std::string symbol, name;
  };
  std::vector<Entry> entries;
  for (const Series& s : p.series)
    if (!s.name.empty())
      entries.push_back(
          {"<path " + ShapeStyle(s.shape, s.colour) + " d=\"" + ShapePath(s.shape, 6, -4) + "\"/>",
           s.name + " (" + std::to_string(s.points.size()) + ")"});
  for (const Level& l : p.levels)
    entries.push_back(
        {"<path stroke=\"#000\"" +
             (*l.dash ? " stroke-dasharray=\"" + std::string(l.dash) + "\"" : std::string()) +
             " d=\"M-2 -4h16\"/>",
         l.name.substr(0, l.name.find(' '))});
  for (const Band& b : p.bands)
    if (std::none_of(entries.begin(), entries.end(),
                     [&](const Entry& e) { return e.name == b.name; }))
      entries.push_back(
          {Rect(0, -10, 12, 10, "fill=\"" + std::string(b.colour) + "\" fill-opacity=\"0.3\""),
           b.name});
  for (const BarKind& k : p.barKinds)
    entries.push_back({Rect(0, -10, 12, 10, "fill=\"" + std::string(k.colour) + "\""), k.name});
  std::string svg;
  double x = kLeft, y = top;
  for (const Entry& e : entries) {
    const double w = 22 + e.name.size() * kCharWidth + 14;
    if (x + w > width && x > kLeft) {
      x = kLeft;
      y += 16;
    }
    svg += "<g transform=\"translate(" + Num(x) + " " + Num(y) + ")\">" + e.symbol +
           Text(18, 0, e.name) + "</g>\n";
    x += w;
  }
  return svg;
}

std::string SvgHead(int width, int height, const std::string& title) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
         "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " + std::to_string(width) +
         " " + std::to_string(height) + "\" role=\"img\" aria-label=\"" + XmlText(title) +
         "\" font-family=\"sans-serif\" font-size=\"11\">\n";
}

}  // namespace

std::string XmlText(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if (c >= 32 && c < 127) {
          out += static_cast<char>(c);
        } else {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        }
    }
  }
  return out;
}

std::string PlotSvg(const Plot& plot, int width, int height) {
  const Frame f{plot, kLeft, kTop, width - kRight, height - kBottom};
  std::string svg = SvgHead(width, height, plot.title);
  svg += Text(kLeft, 16, plot.title, " font-size=\"13\" font-weight=\"bold\"");
  svg += Text(kLeft, 32, plot.note, " fill=\"#444\"");
  if (plot.series.empty() && plot.bars.empty())
    return svg + Text(kLeft, kTop + 20, "nothing to draw: no rows with a time") + "</svg>\n";
  svg += Rect(f.left, f.top, f.right - f.left, f.bottom - f.top, "fill=\"#fff\" stroke=\"#999\"");
  svg += BandsSvg(f) + AxesSvg(f) + BarsSvg(f) + LevelsSvg(f);
  for (const Series& s : plot.series) svg += SeriesSvg(s, f);
  svg += LegendSvg(plot, width, height - kBottom + 52);
  return svg + "</svg>\n";
}

std::string SlotGridSvg(const SlotGrid& grid) {
  const double w = std::clamp(640.0 / std::max(grid.positions, 1), 22.0, 56.0);
  const double h = std::clamp(360.0 / std::max(grid.levels, 1), 15.0, 24.0);
  const double left = 64, top = 30, bottom = top + h * grid.levels;
  const int width = static_cast<int>(left + w * grid.positions + 24);
  const int height = static_cast<int>(bottom + 66);
  std::string svg = SvgHead(std::max(width, 640), height, "All slots");
  svg += Text(left, 16, "Slots by position and level", " font-size=\"13\" font-weight=\"bold\"");
  std::vector<const SlotCell*> at(static_cast<size_t>(grid.positions * grid.levels), nullptr);
  for (const SlotCell& c : grid.served)
    if (c.position >= 1 && c.level >= 1 && c.position <= grid.positions && c.level <= grid.levels)
      at[static_cast<size_t>((c.position - 1) * grid.levels + c.level - 1)] = &c;
  for (int p = 1; p <= grid.positions; ++p) {
    for (int l = 1; l <= grid.levels; ++l) {
      const SlotCell* c = at[static_cast<size_t>((p - 1) * grid.levels + l - 1)];
      const double x = left + (p - 1) * w, y = bottom - l * h;
      const char* style = !c             ? "fill=\"#fff\" stroke=\"#bbb\" stroke-dasharray=\"2 2\""
                          : c->notOk > 0 ? "fill=\"#F5C09A\" stroke=\"#D55E00\" stroke-width=\"2\""
                                         : "fill=\"#BFE8DA\" stroke=\"#009E73\"";
      svg += Rect(x + 1, y + 1, w - 2, h - 2, style);
      const std::string label =
          !c             ? "-"
          : c->notOk > 0 ? "E " + std::to_string(c->notOk) + "/" + std::to_string(c->served)
                         : std::to_string(c->served);
      svg += Text(x + w / 2, y + h / 2 + 4, label, " text-anchor=\"middle\" font-size=\"10\"");
    }
  }
  for (int l = 1; l <= grid.levels; ++l)
    svg += Text(left - 6, bottom - (l - 0.5) * h + 4, std::to_string(l), " text-anchor=\"end\"");
  for (int p = 1; p <= grid.positions; ++p)
    svg += Text(left + (p - 0.5) * w, bottom + 14, std::to_string(p), " text-anchor=\"middle\"");
  svg += Text(left + w * grid.positions / 2, bottom + 30, "carousel position",
              " text-anchor=\"middle\"");
  svg += "<text transform=\"translate(14 " + Num((top + bottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">level</text>\n";
  svg += Rect(left, bottom + 42, 12, 12, "fill=\"#BFE8DA\" stroke=\"#009E73\"") +
         Text(left + 16, bottom + 52, "n: served n times, every reply OK") +
         Rect(left + 210, bottom + 42, 12, 12,
              "fill=\"#F5C09A\" stroke=\"#D55E00\" stroke-width=\"2\"") +
         Text(left + 226, bottom + 52, "E k/n: k of n with an error reply (E.. or none)") +
         Rect(left + 470, bottom + 42, 12, 12,
              "fill=\"#fff\" stroke=\"#bbb\" stroke-dasharray=\"2 2\"") +
         Text(left + 486, bottom + 52, "-: not served");
  return svg + "</svg>\n";
}

}  // namespace report
