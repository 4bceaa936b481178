// The files a command-line run writes besides its outputs (the JSON report,
// the log) kept apart from its inputs and from one another before anything
// is written: a report named after the fax it reports on would replace it.
#pragma once

#include <span>
#include <string>

#include "convert/conversion_options.h"
#include "platform/outcome.h"

namespace tamarind {

// Refuses a run, before anything is written, when
//  - the JSON report or the log (|logPath|, "" for the default log) names
//    one of the run's inputs: the source file, a listed file or the file
//    list (the same name, or the same file by device and inode);
//  - a conversion may write the report, the log, the file list or a listed
//    file. Outputs are known by name before their pages are counted, so
//    every name a conversion could write counts: /report=out/a001.jpg is
//    refused whenever out/a.jpg is an output, whatever a.fxd's pages.
// |files| are the listed files relative to options.source, as the folder
// pass takes them; a single-file run has none. The failure names the
// switch and the file: "/report=a.fxd: names a.fxd, an input of this run".
platform::Status CheckRunFiles(const ConversionOptions& options, std::span<const std::string> files,
                               const std::string& logPath);

// The same for a thumbnail: |output| may not name |input|.
platform::Status CheckThumbnailFiles(const std::string& input, const std::string& output);

}  // namespace tamarind
