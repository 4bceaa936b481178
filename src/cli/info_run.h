// `tamarind --info [--json] FILE`: what a fax holds, page by page, without
// converting it: each page's size, resolution, coding and header text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/outcome.h"

namespace tamarind {

inline constexpr std::string_view kInfoSwitch = "--info";
inline constexpr std::string_view kJsonSwitch = "--json";

struct PageFacts {
  int32_t width = 0;   // pixels per row
  int32_t height = 0;  // rows decoded; 0 when none could be
  uint16_t x_dpi = 0;  // the page's true resolution, as the archive formats record it
  uint16_t y_dpi = 0;
  bool group4 = false;
  std::string header;  // UTF-8, control bytes escaped; "" for none
};

struct FaxFacts {
  std::vector<PageFacts> pages;
  std::string header;  // the first page's
};

// The facts of the fax at |path|, judged by its content (a fax saved
// without its extension is still described). Fails with the reason when
// it cannot be opened or holds no WinFax page.
platform::Expected<FaxFacts> ReadFaxFacts(const std::string& path);

// The facts as lines for people ("a.fxd: 2 pages", then a line a page),
// with names and texts escaped so that no byte of the file reaches a
// terminal as a control.
std::string FaxFactsText(std::string_view path, const FaxFacts& facts);
// The facts as one JSON object with its line feed: source, header (null
// when empty) and pages, each with width, height, x_dpi, y_dpi, coding
// ("group3" or "group4") and header.
std::string FaxFactsJson(std::string_view path, const FaxFacts& facts);

// The switch's run, |arguments| being those after it: 0 when described,
// kExitFailures (with the reason) when FILE is no fax, kExitUsage when
// the arguments are not [--json] FILE.
int RunInfo(std::span<const std::string> arguments);

}  // namespace tamarind
