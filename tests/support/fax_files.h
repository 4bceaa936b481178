// WinFax files made in-process from real pages, and the check that an
// output JPEG shows the page the independent decoder saw.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "support/real_pages.h"

namespace tamarind::test {

// A page name of RealPages(), or kEmptyPage for a page with no coded data
// (it decodes to no row at all).
inline constexpr std::string_view kEmptyPage = "";

// Writes a WinFax file with the named pages, in order, to |path|; returns
// |path|.
std::string WriteFaxFile(const std::string& path, const std::vector<std::string_view>& pageNames);

// Writes a WinFax file of |pages| white fine pages of |width| x |lines|
// (tiny ones make a long fax quick to convert).
void WriteWhiteFax(const std::string& path, int pages, uint16_t width = 16, uint16_t lines = 8);

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
