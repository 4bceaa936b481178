// WinFax files made in-process from real pages, and the check that an
// output JPEG shows the page the independent decoder saw.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "support/real_pages.h"
#include "tools/winfax_writer.h"

namespace tamarind::test {

// A page name of RealPages(), or kEmptyPage for a page with no coded data
// (it decodes to no row at all).
inline constexpr std::string_view kEmptyPage = "";

// Writes a WinFax file with the named pages, in order, to |path|; returns
// |path|.
std::string WriteFaxFile(const std::string& path, const std::vector<std::string_view>& pageNames);

// A real page as one page of a WinFax file: its coded data (the writer
// stores it bit-reversed, as WinFax does), its coding, width and
// resolution; other fields as the writer sets them.
tools::WinFaxPageLayout WinFaxPageOf(const RealPage& page);

// Group 4 data of nothing but one-bit white rows: a few kilobytes can claim
// tens of thousands of rows of any width.
tools::WinFaxPageLayout WhiteRowsPage(uint16_t width, uint16_t lines, uint8_t resolution_code);

// The JPEG at |jpegPath| decodes (djpeg) to |page|'s reference bitmap with
// standard-resolution rows doubled, within the error of JPEG quality 50.
::testing::AssertionResult JpegShowsPage(const std::string& jpegPath, const RealPage& page);

// A whole JPEG file: it starts with SOI and ends with EOI. For tests whose
// concern is which files are written; pixels are the JPEG tests' concern.
::testing::AssertionResult IsWholeJpeg(const std::string& path);

// The report's lines, each without its "\r\n"; a last line without one is
// kept as it is.
std::vector<std::string> ReportLines(std::string_view report);

}  // namespace tamarind::test
