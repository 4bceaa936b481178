// A real page as one page of a WinFax file.
#pragma once

#include "support/real_pages.h"
#include "tools/winfax_writer.h"

namespace tamarind::test {

// The page's coded data (the writer stores it bit-reversed, as WinFax
// does), its coding, width and resolution; other fields as the writer sets
// them.
tools::WinFaxPageLayout WinFaxPageOf(const RealPage& page);

// Group 4 data of nothing but one-bit white rows: a few kilobytes can claim
// tens of thousands of rows of any width.
tools::WinFaxPageLayout WhiteRowsPage(uint16_t width, uint16_t lines, uint8_t resolution_code);

}  // namespace tamarind::test
