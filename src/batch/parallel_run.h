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

#include "convert/conversion_job.h"

namespace tamarind {

// Most workers a run uses.
inline constexpr unsigned kMaxWorkers = 64;

// What one worker may hold at most converting the largest page there may
// be (kMaxPagePixels of noise) into |format|, and with |recognizeText| the
// largest page recognition takes besides (see parallel_run.cpp for the
// measurements).
int64_t WorkerMemoryBound(OutputFormat format, bool recognizeText);

// The worker count for a request of |requested|: that many (at most
// kMaxWorkers); for 0, one per hardware thread as far as |availableBytes|
// holds |workerBytes| for each, and at least one.
unsigned WorkerCount(int requested, unsigned threads, std::optional<int64_t> availableBytes, int64_t workerBytes);
// The same for this machine now and a run with |options|.
unsigned WorkerCount(const ConversionOptions& options);

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
