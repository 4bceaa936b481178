// The opened form of one input fax file.
#pragma once

#include <cstdint>
#include <string>

#include "codec/fax/fax_page.h"
#include "faxdoc/format_code.h"

namespace tamarind {

class FaxDocument {
 public:
  FaxDocument();
  ~FaxDocument();

  // -1 when the file cannot be opened, else 0; page 0 is then decoded.
  int Load(const std::string& path, FormatCode code);
  // The current page has a width and a height above 0.
  bool IsLoaded() const;
  uint16_t PageCount() const;
  // Decodes page |index| into the current page. Always 0.
  int DecodePage(FormatCode code, int index);
  const FaxPage& Page() const;
};

}  // namespace tamarind
