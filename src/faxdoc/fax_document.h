// The opened form of one input fax file: its pages, decoded one at a time
// into a single current page.
#pragma once

#include <cstdint>
#include <string>

#include "codec/fax/fax_page.h"
#include "faxdoc/format_code.h"
#include "faxdoc/winfax_reader.h"

namespace tamarind {

class FaxDocument {
 public:
  FaxDocument();
  ~FaxDocument();
  FaxDocument(const FaxDocument&) = delete;
  FaxDocument& operator=(const FaxDocument&) = delete;

  // -1 when the file cannot be opened (or |code| names a format this
  // program does not read), else 0; page 0 is then decoded.
  int Load(const std::string& path, FormatCode code);
  // Why the last Load could not open its file ("a.fxd: is a FIFO"); "" when
  // it opened, or when it was refused for its format code.
  const std::string& LoadFailure() const { return load_failure_; }
  // The current page has a width and a height above 0.
  bool IsLoaded() const;
  uint16_t PageCount() const;
  // The pages the file's chain holds, also those past the PageCount() the
  // reader keeps (see WinFaxReader::ChainedPages); 0 when none loaded.
  int ChainedPages() const { return reader_.ChainedPages(); }
  // Decodes page |index| into the current page. 0, or -1 (and an empty
  // current page) when there is no such page.
  int DecodePage(FormatCode code, int index);
  const FaxPage& Page() const;

  // The header text of the first page (what the fax is about, as its
  // sender's software wrote it), and of page |index|; see HeaderTextUtf8.
  // "" when the page has none, or there is no such page.
  const std::string& HeaderText() const { return header_text_; }
  std::string PageHeaderText(int index) const { return reader_.PageText(index); }

  // The reader, for callers that want the page's header.
  const WinFaxReader& Reader() const { return reader_; }

 private:
  WinFaxReader reader_;
  uint16_t page_count_ = 0;
  FaxPage page_;
  std::string load_failure_;
  std::string header_text_;
};

}  // namespace tamarind
