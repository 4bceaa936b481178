// Converting a list of files with several workers at once while the run
// looks exactly like one made file by file: the report, the events and the
// results come in list order, and files whose outputs could overwrite one
// another are converted one after the other, in list order, so the later
// file still wins.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codec/fax/page_limits.h"
#include "convert/conversion_job.h"

namespace tamarind {

// Most workers a run uses: each holds a page, its BMP buffers and the JPEG
// library's image buffers (several megabytes).
inline constexpr unsigned kMaxWorkers = 64;

// What one worker may hold at most: a page of kMaxPagePixels as a bitmap,
// its rows in the mapped page BMP and the JPEG library's buffers (4 bytes
// a pixel), plus its share of the program's own memory.
inline constexpr int64_t kWorkerMemoryBound = 4 * kMaxPagePixels + (int64_t{48} << 20);

// The worker count for a request of |requested|: that many (at most
// kMaxWorkers); for 0, one per hardware thread as far as |availableBytes|
// holds kWorkerMemoryBound for each, and at least one.
unsigned WorkerCount(int requested, unsigned threads, std::optional<int64_t> availableBytes);
// The same for this machine now.
unsigned WorkerCount(int requested);

// For every task, the index of the closest earlier task that may write a
// file of the same name (see CollisionKeysOf), or kNoPredecessor.
inline constexpr size_t kNoPredecessor = static_cast<size_t>(-1);
std::vector<size_t> CollisionPredecessors(std::span<const FileTask> tasks);

// Told on the calling thread, in list order: |started| when a file has been
// handed to a worker, |finished| once its share has been added to the run's
// job. Either may be empty.
struct ListedFileEvents {
  std::function<void(size_t index)> started;
  std::function<void(size_t index, const FileOutcome& outcome)> finished;
};

// Converts |tasks| with |workers| workers. Each worker owns a job with the
// options of |job| (its own temporary BMP and report); each file's report
// text and failure count are added to |job| in list order. Once |*stop| is
// set no further file is handed out; files already handed out are finished,
// and they always form the start of the list. Returns the outcomes of the
// files converted, in list order (each with the converter's result).
std::vector<FileOutcome> ConvertInParallel(ConversionJob& job, std::span<const FileTask> tasks, unsigned workers,
                                           const FileConverter& convert, const ListedFileEvents& events = {},
                                           const std::atomic<bool>* stop = nullptr);

}  // namespace tamarind
