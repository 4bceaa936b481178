// make-winfax: writes a WinFax page file from files of coded page data.
//
//   make-winfax -o OUT [page options] PAGE [[page options] PAGE ...]
//
// Page options hold for the page file that follows and all later ones,
// except --set and --byte, which hold for the next page only:
//   --g3 | --g4          coding flag 0 or 1 (default --g3)
//   --msb | --lsb        bit order of the input data (default --lsb, stored as is)
//   --res N              resolution code (0: 100 dpi, 1: 200 dpi, other: 400 dpi)
//   --width N            width field (0 means 1728)
//   --length N           length field (0 means 3432)
//   --header TEXT        the header's text (bytes as given, Windows-1252 as a rule;
//                        at most 79 are stored); before the first page it holds
//                        for all pages, before a later one from there on
//                        (--text is another name for it)
//   --set FIELD=VALUE    force a header field: coding_flag, link_base, link_span,
//                        data_length, extra_count, extra_size (decimal or 0x hex;
//                        negative values are stored in two's complement)
//   --byte OFFSET=VALUE  force one raw header byte (0..127)
// A PAGE of "-" reads the coded data from standard input.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/winfax_writer.h"

namespace {

using tamarind::tools::HeaderByte;
using tamarind::tools::WinFaxPageLayout;

constexpr const char* kUsage =
    "usage: make-winfax -o OUT [--g3|--g4] [--msb|--lsb] [--res N] [--width N] [--length N]\n"
    "                   [--header TEXT] [--set FIELD=VALUE] [--byte OFFSET=VALUE] PAGE ...\n";

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "make-winfax: " << message << "\n" << kUsage;
  std::exit(2);
}

int64_t ParseNumber(std::string_view text, int64_t low, int64_t high) {
  const std::string s(text);
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(s.c_str(), &end, 0);
  if (s.empty() || *end != '\0' || errno != 0 || value < low || value > high) Fail("bad number: " + s);
  return value;
}

std::vector<uint8_t> ReadCoded(const std::string& path) {
  if (path == "-") {
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void SetField(WinFaxPageLayout& page, std::string_view assignment) {
  const size_t eq = assignment.find('=');
  if (eq == std::string_view::npos) Fail("expected FIELD=VALUE: " + std::string(assignment));
  const std::string_view field = assignment.substr(0, eq);
  const std::string_view text = assignment.substr(eq + 1);
  auto u32 = [&] { return static_cast<uint32_t>(ParseNumber(text, INT32_MIN, UINT32_MAX)); };
  auto u8 = [&] { return static_cast<uint8_t>(ParseNumber(text, 0, 255)); };
  if (field == "coding_flag") page.coding_flag = u8();
  else if (field == "link_base") page.link_base = u32();
  else if (field == "link_span") page.link_span = u32();
  else if (field == "data_length") page.data_length = u32();
  else if (field == "extra_count") page.extra_count = u8();
  else if (field == "extra_size") page.extra_size = u8();
  else Fail("unknown field: " + std::string(field));
}

HeaderByte ParseByte(std::string_view assignment) {
  const size_t eq = assignment.find('=');
  if (eq == std::string_view::npos) Fail("expected OFFSET=VALUE: " + std::string(assignment));
  return {static_cast<size_t>(ParseNumber(assignment.substr(0, eq), 0, 127)),
          static_cast<uint8_t>(ParseNumber(assignment.substr(eq + 1), 0, 255))};
}

}  // namespace

int main(int argc, char** argv) {
  std::string output;
  std::vector<WinFaxPageLayout> pages;
  WinFaxPageLayout sticky;  // options that carry over to later pages
  WinFaxPageLayout next = sticky;

  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> std::string_view {
      if (i + 1 >= argc) Fail("missing value after " + std::string(arg));
      return argv[++i];
    };
    auto sticky_set = [&](auto member, auto v) {
      sticky.*member = v;
      next.*member = v;
    };
    if (arg == "-o") output = value();
    else if (arg == "--g3") sticky_set(&WinFaxPageLayout::group4, false);
    else if (arg == "--g4") sticky_set(&WinFaxPageLayout::group4, true);
    else if (arg == "--msb") sticky_set(&WinFaxPageLayout::msb_first, true);
    else if (arg == "--lsb") sticky_set(&WinFaxPageLayout::msb_first, false);
    else if (arg == "--res")
      sticky_set(&WinFaxPageLayout::resolution_code, static_cast<uint8_t>(ParseNumber(value(), 0, 255)));
    else if (arg == "--width")
      sticky_set(&WinFaxPageLayout::width, static_cast<uint16_t>(ParseNumber(value(), 0, 65535)));
    else if (arg == "--length")
      sticky_set(&WinFaxPageLayout::length, static_cast<uint16_t>(ParseNumber(value(), 0, 65535)));
    else if (arg == "--header" || arg == "--text") sticky_set(&WinFaxPageLayout::text, std::string(value()));
    else if (arg == "--set") SetField(next, value());
    else if (arg == "--byte") next.header_bytes.push_back(ParseByte(value()));
    else if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg.size() > 1 && arg[0] == '-') {
      Fail("unknown option: " + std::string(arg));
    } else {
      next.coded = ReadCoded(std::string(arg));
      pages.push_back(std::move(next));
      next = sticky;
    }
  }
  if (output.empty()) Fail("no output file (-o)");
  if (pages.empty()) Fail("no page data given");

  std::string error;
  if (!tamarind::tools::WriteWinFaxFile(output, pages, &error)) {
    std::cerr << "make-winfax: " << error << "\n";
    return 1;
  }
  return 0;
}
