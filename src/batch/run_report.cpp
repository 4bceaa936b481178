#include "batch/run_report.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/paths.h"

namespace tamarind {

namespace {

using Json = nlohmann::ordered_json;

std::string Dump(const Json& object) {
  // The default handler throws on bytes that are not UTF-8, and file
  // names are bytes.
  return object.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

// Microseconds are all a report reader can use.
double Rounded(double seconds) { return std::round(seconds * 1e6) / 1e6; }

}  // namespace

std::string_view StatusName(FileResult result) {
  switch (result) {
    case FileResult::Converted: return "converted";
    case FileResult::Skipped: return "skipped";
    case FileResult::NotFax: return "not-fax";
    case FileResult::Failed: break;
  }
  return "failed";
}

std::string FileReportLine(std::string_view source, const FileOutcome& outcome) {
  Json line;
  line["source"] = source;
  line["header"] = outcome.header.empty() ? Json(nullptr) : Json(outcome.header);
  line["outputs"] = outcome.outputs;
  line["pages"] = outcome.pages;
  line["missing"] = outcome.pagesMissing;
  line["status"] = StatusName(Classify(outcome));
  line["reason"] = outcome.reason.empty() ? Json(nullptr) : Json(outcome.reason);
  line["seconds"] = Rounded(outcome.seconds);
  return Dump(line);
}

void ReportTally::Add(const FileOutcome& outcome) {
  ++files;
  switch (Classify(outcome)) {
    case FileResult::Converted: ++converted; break;
    case FileResult::Skipped: ++skipped; break;
    case FileResult::NotFax: ++notFax; break;
    case FileResult::Failed: ++failed; break;
  }
}

std::string SignalName(int signal) { return platform::SignalName(signal); }

std::string SummaryReportLine(const ReportTally& tally, double seconds, const RunEnd& end) {
  Json counts;
  counts["files"] = tally.files;
  counts["converted"] = tally.converted;
  counts["skipped"] = tally.skipped;
  counts["failed"] = tally.failed;
  counts["not-fax"] = tally.notFax;
  counts["seconds"] = Rounded(seconds);
  counts["complete"] = end.complete;
  const std::string signal = SignalName(end.signal);
  counts["signal"] = signal.empty() ? Json(nullptr) : Json(signal);
  Json line;
  line["summary"] = std::move(counts);
  return Dump(line);
}

platform::Expected<JsonReport> JsonReport::Open(const std::string& path) {
  if (path == "-") return JsonReport(nullptr);
  const std::string folder(platform::FolderOf(path));
  if (!folder.empty()) {
    if (platform::Status made = platform::MakeFolders(folder); !made) return std::move(made).failure();
  }
  auto file = platform::AtomicOutputFile::Create(path);
  if (!file) return std::move(file).failure();
  return JsonReport(std::move(*file));
}

void JsonReport::Write(std::string_view line) {
  // A write error shows at the commit; standard output's, at the end.
  if (file_) std::fwrite(line.data(), 1, line.size(), file_->Stream());
  else if (platform::Status written = platform::WriteStandardOutput(line); !written && lost_.ok()) lost_ = written;
}

void JsonReport::Add(std::string_view source, const FileOutcome& outcome) {
  tally_.Add(outcome);
  Write(FileReportLine(source, outcome));
}

platform::Status JsonReport::Finish(double seconds, const RunEnd& end) {
  Write(SummaryReportLine(tally_, seconds, end));
  if (!file_) return lost_;
  return file_->Commit();
}

}  // namespace tamarind
