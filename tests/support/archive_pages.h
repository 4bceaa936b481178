// Real pages decoded the way a conversion decodes them (from a WinFax file,
// through FaxDocument), for the tests of the archive writers: each with the
// independent decoder's bitmap to compare what comes back out.
#pragma once

#include <string>
#include <vector>

#include "codec/fax/fax_page.h"
#include "support/real_pages.h"

namespace tamarind::test {

struct ArchivePage {
  std::string label;  // the real page's name, and the resolution it is filed at
  const RealPage* real = nullptr;
  FaxPage page;
};

// A standard Group 3 page and a fine Group 4 page 1728 wide, a standard
// page 2048 wide, and a fine page filed as superfine (400 dpi): one of each
// width and resolution the writers tell apart.
const std::vector<ArchivePage>& ArchivePages();

}  // namespace tamarind::test
