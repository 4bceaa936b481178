// The machine-readable report of a command-line run ("/report="): one JSON
// object per line for each source file, in list order, then one summary
// object. Names that are not UTF-8 keep the report valid JSON: each byte
// that is no part of a UTF-8 character becomes U+FFFD.
//
//   {"source":"in/a.fxd","outputs":["out/a001.jpg","out/a002.jpg"],"pages":2,
//    "missing":[],"status":"converted","reason":null,"seconds":0.021}
//   {"summary":{"files":1,"converted":1,"skipped":0,"failed":0,"not-fax":0,"seconds":0.03,
//    "complete":true,"signal":null}}
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "convert/conversion_job.h"
#include "platform/atomic_file.h"
#include "platform/outcome.h"

namespace tamarind {

// "converted", "skipped", "failed" or "not-fax", for the file's Classify.
std::string_view StatusName(FileResult result);

// The object of one source file, with its line feed.
std::string FileReportLine(std::string_view source, const FileOutcome& outcome);

// Counts of one run (or one pass of a watch) for its summary line.
struct ReportTally {
  int files = 0;
  int converted = 0;
  int skipped = 0;
  int failed = 0;
  int notFax = 0;

  void Add(const FileOutcome& outcome);
};

// How a run ended. A signal stops a run from starting further files, so a
// shard that was cancelled has a report that says so and what ended it;
// |complete| is whether every listed file was still handled.
struct RunEnd {
  bool complete = true;
  int signal = 0;  // the signal that ended the run, or 0
};

// "SIGTERM" for SIGTERM; empty for 0 or a number no signal has.
std::string SignalName(int signal);

// The summary object of |tally| after |seconds| of wall time, with its line
// feed.
std::string SummaryReportLine(const ReportTally& tally, double seconds, const RunEnd& end);

// One run's report on its way out: to standard output line by line, or to a
// file that appears under its name, whole, when Finish() succeeds (a run
// ended by SIGINT, SIGTERM or SIGHUP gets there too; only a kill that
// cannot be caught leaves an older report as it was).
class JsonReport {
 public:
  // |path| "-" is standard output; a file's missing folders are made.
  static platform::Expected<JsonReport> Open(const std::string& path);

  void Add(std::string_view source, const FileOutcome& outcome);
  // Writes the summary and puts a report file in place. Fails when the
  // report is not all there: standard output lost a line, or the file
  // could not be written.
  platform::Status Finish(double seconds, const RunEnd& end);

 private:
  explicit JsonReport(std::unique_ptr<platform::AtomicOutputFile> file) : file_(std::move(file)) {}
  void Write(std::string_view line);

  std::unique_ptr<platform::AtomicOutputFile> file_;  // null: standard output
  platform::Status lost_;                             // the first line standard output did not take
  ReportTally tally_;
};

}  // namespace tamarind
