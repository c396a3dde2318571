// The pictures as SVG elements to be written into the page as they are: no script, no
// font or picture fetched, every size in the element itself.
#pragma once
#include <string>
#include <string_view>

#include "report/picture.h"
#include "report/test_charts.h"

namespace report {

std::string PlotSvg(const Plot& plot, int width, int height);
std::string SlotGridSvg(const SlotGrid& grid);

// Text made safe for XML: & < > " ' as entities, and bytes an XML parser refuses or a
// UTF-8 reader misreads (controls, bytes above 127) as the console writes them, "\xB3".
std::string XmlText(std::string_view text);

}  // namespace report
