#include "support/winfax_pages.h"

namespace tamarind::test {

tools::WinFaxPageSpec WinFaxPageOf(const RealPage& page) {
  tools::WinFaxPageSpec pageLayout;
  pageLayout.coded = page.coded;
  pageLayout.msb_first = true;
  pageLayout.group4 = page.coding == PageCoding::kGroup4;
  pageLayout.resolution_code = page.fine ? 1 : 0;
  pageLayout.width = static_cast<uint16_t>(page.width);
  return pageLayout;
}

}  // namespace tamarind::test
