#include "support/winfax_pages.h"

namespace tamarind::test {

tools::WinFaxPageLayout WinFaxPageOf(const RealPage& page) {
  tools::WinFaxPageLayout pageLayout;
  pageLayout.coded = page.coded;
  pageLayout.msb_first = true;
  pageLayout.group4 = page.coding == PageCoding::kGroup4;
  pageLayout.resolution_code = page.fine ? 1 : 0;
  pageLayout.width = static_cast<uint16_t>(page.width);
  return pageLayout;
}

tools::WinFaxPageLayout WhiteRowsPage(uint16_t width, uint16_t lines, uint8_t resolution_code) {
  tools::WinFaxPageLayout pageLayout;
  pageLayout.coded.assign(lines / 8 + 2, 0xFF);
  pageLayout.group4 = true;
  pageLayout.width = width;
  pageLayout.length = lines;
  pageLayout.resolution_code = resolution_code;
  return pageLayout;
}

}  // namespace tamarind::test
