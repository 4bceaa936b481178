// A real page as one page of a WinFax file.
#pragma once

#include "support/real_pages.h"
#include "tools/winfax_writer.h"

namespace tamarind::test {

// The page's coded data (the writer stores it bit-reversed, as WinFax
// does), its coding, width and resolution; other fields as the writer sets
// them.
tools::WinFaxPageSpec WinFaxPageOf(const RealPage& page);

}  // namespace tamarind::test
