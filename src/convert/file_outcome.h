// What became of one file of a run, and the one judgement of it that the
// report's total, the JSON report, the window's list and the exit status
// all read.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace tamarind {

// Results of ConversionJob::ConvertFile.
inline constexpr int kConverted = 0;
inline constexpr int kSkipped = 1;
inline constexpr int kNotWinFax = -1;
inline constexpr int kFolderNotCreated = -2;
inline constexpr int kOutputIsSource = -3;
// Folder runs only: a listed file that is not there, and one whose output
// would fall outside the destination.
inline constexpr int kSourceMissing = -4;
inline constexpr int kOutsideDestination = -6;
inline constexpr int kNotFax = -5;
inline constexpr int kJpegFailed = -7;
inline constexpr int kException = -9;
// Abandoned between pages or inside recognition, once the run was asked to
// stop: what it had written is taken back, and a folder pass does not count
// it as done.
inline constexpr int kStopped = -10;

// Everything one conversion of a file did. ConvertFile fills it whole.
struct FileOutcome {
  // ConvertFile's result: kConverted only when every page was written.
  int result = kConverted;
  std::vector<std::string> outputs;  // the files written, in order
  int pages = 0;                     // the pages the fax holds (0 when it did not load)
  // The text the sender's software put in the first page's header (UTF-8,
  // control bytes escaped); "" when there is none or the fax did not load.
  std::string header;
  int pagesWritten = 0;
  // Pages without an image in the outputs, numbered from 1: they did not
  // decode, their output failed, or they lie beyond the pages the reader
  // keeps.
  std::vector<unsigned> pagesMissing;
  int pagesRecognised = 0;  // pages whose text was read
  // Pages written whose text could not be read, numbered from 1.
  std::vector<unsigned> pagesUnrecognised;
  // Outputs besides the pages that failed: a text file, a date copy.
  int extrasFailed = 0;
  // Why the file failed, in the user's words, naming the file once ("" when
  // it did not).
  std::string reason;
  double seconds = 0;  // time the conversion took

  // An outcome of |result| alone, as a file that was never converted (or a
  // scripted conversion) has it.
  static FileOutcome Of(int result) {
    FileOutcome outcome;
    outcome.result = result;
    return outcome;
  }
};

enum class FileResult { Converted, Skipped, NotFax, Failed };
inline constexpr FileResult kAllFileResults[] = {FileResult::Converted, FileResult::Skipped, FileResult::NotFax,
                                                 FileResult::Failed};

// The judgement: a file that lost a page, a page's text, its text file or a
// date copy has failed, whatever became of its other pages.
FileResult Classify(const FileOutcome& outcome);

// Not converted, and not rightly left alone: a run with such a file fails.
constexpr bool IsFailure(FileResult result) { return result == FileResult::NotFax || result == FileResult::Failed; }

// What a file lost, for its report line: "page 002 of 3 missing",
// "pages 002, 1025-1500 of 1500 missing; text of page 003 of 1500 not
// recognised"; "" when nothing.
std::string LostPagesText(const FileOutcome& outcome);

// "002, 005", runs of three or more as "1025-1500".
std::string PageListText(std::span<const unsigned> pages);

}  // namespace tamarind
