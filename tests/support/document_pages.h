// Pages of a real document with the words they were set from, the ground
// truth for text recognition: the groff manual page set by groff, rendered
// by Ghostscript at 204 x 196 and 204 x 98 dpi (padded to 1728 pixels, as
// for the real fax pages), and its words with their boxes as poppler's
// pdftotext reads them from the same PostScript turned into a PDF by
// Ghostscript.
//
// pdftotext rather than Ghostscript's txtwrite device: txtwrite joins words
// wherever groff positions them one by one ("Don'tallownewlines"), which
// would count every correctly recognised word of such a run as missed.
//
// Made once per build tree and cached under <build>/testdata/.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "codec/fax/fax_page.h"
#include "support/real_pages.h"

namespace tamarind::test {

struct SourceWord {
  std::string text;  // UTF-8, as set (ligatures may be single characters)
  // Points from the page's top-left corner; the box of the font's height,
  // not of the ink.
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

struct DocumentPage {
  int number = 0;    // page of the document, from 1
  Bitmap fine;       // 204 x 196 dpi
  Bitmap standard;   // 204 x 98 dpi
  std::string text;  // the words line by line, blocks in reading order
  std::vector<SourceWord> words;
};

// Pages 1 to 6 of the document. Throws std::runtime_error when the tools
// fail.
const std::vector<DocumentPage>& DocumentPages();

// |bitmap| as the WinFax reader decodes it: 1 = white, nominal resolution
// 200 x 200 (fine) or 200 x 100 (standard).
FaxPage FaxPageOf(const Bitmap& bitmap, bool fine);

// |bitmap| turned by 180 degrees.
Bitmap Rotated180(const Bitmap& bitmap);

// The words word recall counts: runs of three or more ASCII letters, after
// ligatures are expanded (as Unicode NFKC does: U+FB01 becomes "fi") and a
// word hyphenated at a line end is joined again.
std::vector<std::string> RecallWords(std::string_view text);

// The share of |reference|'s recall words, counted with repetition, that
// |recognised| holds too.
double WordRecall(std::string_view reference, std::string_view recognised);

}  // namespace tamarind::test
