#include "convert/file_outcome.h"

#include "convert/output_names.h"

namespace tamarind {

FileResult Classify(const FileOutcome& outcome) {
  switch (outcome.result) {
    case kConverted: break;
    case kSkipped: return FileResult::Skipped;
    case kNotWinFax:
    case kNotFax: return FileResult::NotFax;
    default: return FileResult::Failed;
  }
  const bool whole = outcome.pagesMissing.empty() && outcome.pagesUnrecognised.empty() && outcome.extrasFailed == 0;
  return whole ? FileResult::Converted : FileResult::Failed;
}

std::string PageListText(std::span<const unsigned> pages) {
  std::string text;
  for (size_t i = 0; i < pages.size();) {
    size_t last = i;
    while (last + 1 < pages.size() && pages[last + 1] == pages[last] + 1) ++last;
    if (!text.empty()) text += ", ";
    if (last - i >= 2) {
      text += PageNumber(pages[i]) + "-" + PageNumber(pages[last]);
      i = last + 1;
    } else {
      text += PageNumber(pages[i]);
      ++i;
    }
  }
  return text;
}

namespace {

// "page 002 of 3", "pages 002, 005 of 9".
std::string PagesOf(std::span<const unsigned> pages, int total) {
  const bool one = pages.size() == 1;
  return (one ? "page " : "pages ") + PageListText(pages) + " of " + std::to_string(total);
}

}  // namespace

std::string LostPagesText(const FileOutcome& outcome) {
  std::string text;
  if (!outcome.pagesMissing.empty()) text = PagesOf(outcome.pagesMissing, outcome.pages) + " missing";
  if (!outcome.pagesUnrecognised.empty()) {
    if (!text.empty()) text += "; ";
    text += "text of " + PagesOf(outcome.pagesUnrecognised, outcome.pages) + " not recognised";
  }
  return text;
}

}  // namespace tamarind
