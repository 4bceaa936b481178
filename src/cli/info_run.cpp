#include "cli/info_run.h"

#include <nlohmann/json.hpp>

#include "cli/startup.h"
#include "codec/fax/page_resolution.h"
#include "faxdoc/fax_document.h"
#include "platform/console.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

using Json = nlohmann::ordered_json;

// The page the document has just decoded, with its header as read for it.
PageFacts FactsOfCurrentPage(const FaxDocument& document, int index) {
  const FaxPage& page = document.Page();
  const WinFaxPageHeader& header = document.Reader().Header();
  PageFacts facts;
  // The header's width is the page's even when no row could be decoded.
  facts.width = header.width;
  facts.height = page.width > 0 ? page.height : 0;
  const PageResolution resolution = TruePageResolution(header.width, document.Reader().VerticalResolution());
  facts.x_dpi = resolution.x_dpi;
  facts.y_dpi = resolution.y_dpi;
  facts.group4 = header.IsGroup4();
  facts.header = index == 0 ? document.HeaderText() : header.TextUtf8();
  return facts;
}

std::string_view ResolutionName(uint16_t y_dpi) {
  if (y_dpi < 150) return "standard";
  return y_dpi < 300 ? "fine" : "superfine";
}

std::string PageLine(size_t number, const PageFacts& page) {
  std::string line = "  page " + std::to_string(number) + ": " + std::to_string(page.width) + " x " +
                     std::to_string(page.height) + " pixels, " + std::to_string(page.x_dpi) + " x " +
                     std::to_string(page.y_dpi) + " dpi (" + std::string(ResolutionName(page.y_dpi)) + "), " +
                     (page.group4 ? "Group 4" : "Group 3");
  if (page.height == 0) line += ", no line could be decoded";
  line += page.header.empty() ? ", no header text" : ", header: " + page.header;
  return line + "\n";
}

Json TextOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

}  // namespace

platform::Expected<FaxFacts> ReadFaxFacts(const std::string& path) {
  FaxDocument document;
  if (document.Load(path, kWinFaxFormat) != 0) {
    const std::string& why = document.LoadFailure();
    return why.empty() ? platform::Failure::About(path, "cannot be read") : platform::Failure{why};
  }
  if (document.PageCount() == 0)
    return platform::Failure::About(path, "not a WinFax file (no page header at its start)");
  FaxFacts facts;
  facts.header = document.HeaderText();
  for (int i = 0; i < document.PageCount(); ++i) {
    if (i > 0) document.DecodePage(kWinFaxFormat, i);
    facts.pages.push_back(FactsOfCurrentPage(document, i));
  }
  return facts;
}

std::string FaxFactsText(std::string_view path, const FaxFacts& facts) {
  const size_t count = facts.pages.size();
  std::string text =
      platform::EscapeControlBytes(path) + ": " + std::to_string(count) + (count == 1 ? " page" : " pages");
  text += "\n";
  for (size_t i = 0; i < count; ++i) text += PageLine(i + 1, facts.pages[i]);
  return text;
}

std::string FaxFactsJson(std::string_view path, const FaxFacts& facts) {
  Json pages = Json::array();
  for (const PageFacts& page : facts.pages) {
    Json entry;
    entry["width"] = page.width;
    entry["height"] = page.height;
    entry["x_dpi"] = page.x_dpi;
    entry["y_dpi"] = page.y_dpi;
    entry["coding"] = page.group4 ? "group4" : "group3";
    entry["header"] = TextOrNull(page.header);
    pages.push_back(std::move(entry));
  }
  Json object;
  object["source"] = path;
  object["header"] = TextOrNull(facts.header);
  object["pages"] = std::move(pages);
  // File names are bytes; those that are not UTF-8 keep the JSON valid.
  return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

int RunInfo(std::span<const std::string> arguments) {
  bool json = false;
  std::vector<std::string> files;
  for (const std::string& argument : arguments) {
    if (argument == kJsonSwitch) json = true;
    else files.push_back(argument);
  }
  if (files.size() != 1) {
    platform::WriteErr("tamarind: usage: tamarind " + std::string(kInfoSwitch) + " [" + std::string(kJsonSwitch) +
                       "] FILE\n");
    return kExitUsage;
  }
  platform::Expected<FaxFacts> facts = ReadFaxFacts(files.front());
  if (!facts) {
    platform::WriteErr("tamarind: " + platform::EscapeControlBytes(facts.reason()) + "\n");
    return kExitFailures;
  }
  // A description that did not all get out is no description.
  if (!platform::WriteOut(json ? FaxFactsJson(files.front(), *facts) : FaxFactsText(files.front(), *facts))) {
    platform::WriteErr("tamarind: the description could not be written to standard output\n");
    return kExitFailures;
  }
  return kExitConverted;
}

}  // namespace tamarind
