// The report page: one section per record, newest first, each with its test, start,
// operator, serial number, settings and summary as the console showed them, then its
// pictures; the files left out at the end. XHTML-compatible HTML with the style inline,
// so it opens offline, an XML parser reads it, and it prints on A4.
#pragma once
#include <string>
#include <vector>

#include "report/line_gaps.h"
#include "report/record.h"

namespace report {

// `records` in the order they are to be shown; `leftOut` the lines said on stderr.
std::string ReportPage(const std::vector<Record>& records, const std::vector<LineGap>& gaps,
                       const std::vector<std::string>& leftOut);

}  // namespace report
