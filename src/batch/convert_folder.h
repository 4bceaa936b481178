// A folder tree: the walk that lists the WinFax files, then one conversion
// per listed file, on the job the run was set up in.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "convert/conversion_job.h"

namespace tamarind {

// Appends the WinFax files under |folder| that match the job's filter to
// its |files|.
void CollectFiles(ConversionJob& job, const std::string& folder, bool includeSubfolders);
// The path of listed file |entry|: relative to options.source, unless it
// is absolute, when it is the file itself.
std::string ListedSource(const ConversionOptions& options, std::string_view entry);
// Converts every listed file under its header and a total line; -1
// without a destination, else 0. Existing outputs are overwritten unless
// options.skipExisting is set.
int ConvertFolder(ConversionJob& job);
// The folder pass both run modes share: every listed file (relative to
// options.source) into options.destination, on options.workers workers,
// each file's report added in list order and the job's events told. No
// further file is started once |*stop| is set or a signal came. Returns
// the number of files converted.
size_t ConvertListedFiles(ConversionJob& job, const std::atomic<bool>* stop = nullptr);
// How a folder pass converts a listed file unless the job says otherwise:
// a missing file or one without an output inside the destination gets its
// own line, the others go to worker.ConvertFile.
FileOutcome ConvertListedFile(ConversionJob& worker, const std::string& source, const std::string& output);
// The report's last line of a folder pass that converted |converted| files.
std::string FolderTotalLine(size_t converted);

}  // namespace tamarind
