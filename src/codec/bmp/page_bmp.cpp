// Placeholder until the BMP writer lands.
#include "codec/bmp/page_bmp.h"

namespace tamarind {

int WritePageBmp(const FaxPage&, platform::PrivateTempFile&) { return -3; }

}  // namespace tamarind
