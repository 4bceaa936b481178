// Converting a list of files with several workers at once while the run
// looks exactly like one made file by file: the report, the events and the
// results come in list order, and files whose outputs could overwrite one
// another are converted one after the other, in list order, so the later
// file still wins.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "app/conversion_job.h"

namespace tamarind {

// Most workers a run uses: each holds a page, its BMP buffers and the JPEG
// library's image buffers (several megabytes).
inline constexpr unsigned kMaxWorkers = 64;

// The worker count for a request of |requested| (0: one per hardware
// thread), held to 1 .. kMaxWorkers.
unsigned WorkerCount(int requested);

struct FileTask {
  std::string source;
  std::string output;
};

// For every task, the index of the closest earlier task that may write a
// file of the same name, or kNoPredecessor. A task writes its output, or
// for several pages the output without its extension plus "001", "002",
// ... ".jpg"; names are compared without regard to ASCII case, since the
// destination may lie on a file system that ignores it.
inline constexpr size_t kNoPredecessor = static_cast<size_t>(-1);
std::vector<size_t> CollisionPredecessors(std::span<const FileTask> tasks);

// Converts one file with a worker's own job; what it appends to the job's
// report and failures is that file's share of the run.
using WorkerConverter = std::function<int(ConversionJob& worker, const std::string& source, const std::string& output)>;

// Told on the calling thread, in list order: |started| when a file has been
// handed to a worker, |finished| once its share has been added to the run's
// job. Either may be empty.
struct ListedFileEvents {
  std::function<void(size_t index)> started;
  std::function<void(size_t index, int result)> finished;
};

// Converts |tasks| with |workers| workers. Each worker owns a job with the
// options of |job| (its own temporary BMP and report); each file's report
// text and failure count are added to |job| in list order. Once |*stop| is
// set no further file is handed out; files already handed out are finished,
// and they always form the start of the list. Returns the results of the
// files converted, in list order.
std::vector<int> ConvertInParallel(ConversionJob& job, std::span<const FileTask> tasks, unsigned workers,
                                   const WorkerConverter& convert, const ListedFileEvents& events = {},
                                   const std::atomic<bool>* stop = nullptr);

}  // namespace tamarind
