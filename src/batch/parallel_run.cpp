#include "batch/parallel_run.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <numeric>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "convert/output_names.h"
#include "ocr/ocr_engine.h"
#include "platform/interrupt.h"
#include "platform/memory.h"

namespace tamarind {

namespace {

// Measured with bench_budgets: the program's peak beyond its own 27 MB at
// start, converting one page of 8192 x 16384 pixels of noise (2^27, the
// largest page taken and the costliest to code): JPEG 70 MB, PDF 128 MB
// (the page's Group 4 code is held whole until its length is known), TIFF
// 62 MB. A text page of that size takes less. The bounds leave a quarter
// besides (a PDF also keeps up to 4 MB of its earlier pages' images, to
// share one a later page repeats).
constexpr int64_t kMiB = int64_t{1} << 20;
constexpr int64_t kJpegWorkerBytes = 88 * kMiB;
constexpr int64_t kPdfWorkerBytes = 160 * kMiB;
constexpr int64_t kTiffWorkerBytes = 80 * kMiB;

}  // namespace

int64_t WorkerMemoryBound(OutputFormat format, bool recognizeText) {
  int64_t bytes = kJpegWorkerBytes;
  if (format == OutputFormat::Pdf) bytes = kPdfWorkerBytes;
  else if (format == OutputFormat::Tiff) bytes = kTiffWorkerBytes;
  // A page is recognised before it is coded, and the engine stays loaded.
  return recognizeText ? bytes + ocr::RecognitionMemoryBound() : bytes;
}

unsigned WorkerCount(int requested, unsigned threads, std::optional<int64_t> availableBytes, int64_t workerBytes) {
  if (requested > 0) return std::min(static_cast<unsigned>(requested), kMaxWorkers);
  unsigned count = std::clamp(threads, 1u, kMaxWorkers);
  if (availableBytes)
    count = static_cast<unsigned>(std::min<int64_t>(count, std::max<int64_t>(1, *availableBytes / workerBytes)));
  return count;
}

unsigned WorkerCount(const ConversionOptions& options) {
  if (options.workers > 0) return WorkerCount(options.workers, 0, std::nullopt, 1);
  return WorkerCount(0, std::thread::hardware_concurrency(), platform::AvailableMemoryBytes(),
                     WorkerMemoryBound(options.format, options.recognizeText));
}

namespace {

class DisjointSets {
 public:
  explicit DisjointSets(size_t count) : parent_(count) { std::iota(parent_.begin(), parent_.end(), size_t{0}); }
  size_t Root(size_t i) {
    while (parent_[i] != i) i = parent_[i] = parent_[parent_[i]];
    return i;
  }
  void Join(size_t a, size_t b) {
    a = Root(a);
    b = Root(b);
    if (a != b) parent_[std::max(a, b)] = std::min(a, b);
  }

 private:
  std::vector<size_t> parent_;
};

}  // namespace

std::vector<size_t> CollisionPredecessors(std::span<const FileTask> tasks) {
  DisjointSets sets(tasks.size());
  std::vector<CollisionKeys> keys(tasks.size());
  std::unordered_map<std::string, size_t> byBase;
  for (size_t i = 0; i < tasks.size(); ++i) {
    keys[i] = CollisionKeysOf(tasks[i].output);
    // The same base covers the same output: the base is made from it.
    auto [known, added] = byBase.emplace(keys[i].base, i);
    if (!added) sets.Join(known->second, i);
  }
  for (size_t i = 0; i < tasks.size(); ++i) {
    for (const std::string& base : keys[i].reaches) {
      if (auto other = byBase.find(base); other != byBase.end()) sets.Join(other->second, i);
    }
  }
  // Each file waits for the previous one of its group, so a group runs in
  // list order whatever the relation between its members.
  std::vector<size_t> predecessors(tasks.size(), kNoPredecessor);
  std::unordered_map<size_t, size_t> lastOfGroup;
  for (size_t i = 0; i < tasks.size(); ++i) {
    auto [last, added] = lastOfGroup.emplace(sets.Root(i), i);
    if (!added) {
      predecessors[i] = last->second;
      last->second = i;
    }
  }
  return predecessors;
}

namespace {

// ---- The run ----------------------------------------------------------------

// A worker's share of the run for one file, told in list order.
struct Share {
  FileOutcome outcome;
  std::string report;
};

// Files are handed out strictly in list order, so the files started always
// form the start of the list; a file whose group predecessor is still being
// converted waits for it on the worker that took it.
class Scheduler {
 public:
  Scheduler(std::span<const FileTask> tasks, const std::atomic<bool>* stop, size_t workers)
      : tasks_(tasks),
        predecessors_(CollisionPredecessors(tasks)),
        done_(tasks.size(), 0),
        working_(workers),
        stop_(stop) {}

  void Work(const ConversionJob& run, const FileConverter& convert) {
    try {
      ConversionJob worker;
      worker.options = run.options;
      worker.outputRoot = run.outputRoot;
      worker.systemCalls = run.systemCalls;
      worker.spareWorkers = run.spareWorkers;
      worker.stop = stop_;
      for (std::optional<size_t> index; (index = Take());) {
        worker.report.clear();
        FileOutcome outcome = convert(worker, tasks_[*index].source, tasks_[*index].output);
        Finish(*index, Share{std::move(outcome), std::move(worker.report)});
      }
    } catch (...) {
      Abandon(std::current_exception());
    }
    // No file left for this worker: the faxes still in work may use it.
    if (run.spareWorkers) run.spareWorkers->Give();
    std::lock_guard lock(mutex_);
    --working_;
    changed_.notify_all();
  }

  // Runs on the calling thread until every worker has ended, telling
  // |events| and adding each file's share to |job| in list order.
  std::vector<FileOutcome> Deliver(ConversionJob& job, const ListedFileEvents& events) {
    std::vector<FileOutcome> results;
    try {
      TellInOrder(job, events, results);
    } catch (...) {
      Abandon(std::current_exception());
    }
    // Every worker has ended here, or stops before its next file.
    if (failure_) std::rethrow_exception(failure_);
    return results;
  }

  // A thread that could not be started will not end either.
  void WorkerNotStarted() {
    std::lock_guard lock(mutex_);
    --working_;
    changed_.notify_all();
  }

  // For the calling thread to work in place of a thread that could not be
  // started.
  void WorkerAdded() {
    std::lock_guard lock(mutex_);
    ++working_;
  }

 private:
  void TellInOrder(ConversionJob& job, const ListedFileEvents& events, std::vector<FileOutcome>& results) {
    size_t startedTold = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] {
        return startedTold < taken_ || (!finished_.empty() && finished_.begin()->first == results.size()) ||
               working_ == 0;
      });
      const size_t taken = taken_;
      std::vector<Share> ready;
      for (auto next = finished_.begin(); next != finished_.end() && next->first == results.size() + ready.size();
           next = finished_.erase(next)) {
        ready.push_back(std::move(next->second));
      }
      const bool last = working_ == 0;
      lock.unlock();
      // A file's end is told before later starts, so one worker tells
      // start, end, start, end as a loop over the list would.
      for (auto next = ready.begin(); startedTold < taken || next != ready.end();) {
        if (next != ready.end() && results.size() < startedTold) {
          // A file given up part-way is not done: nothing of it is told.
          const bool stopped = next->outcome.result == kStopped;
          if (!stopped) job.report += next->report;
          if (!stopped && IsFailure(Classify(next->outcome))) ++job.failures;
          results.push_back(std::move(next->outcome));
          ++next;
          if (events.finished && !stopped) events.finished(results.size() - 1, results.back());
        } else {
          if (events.started) events.started(startedTold);
          ++startedTold;
        }
      }
      if (last) return;
      lock.lock();
    }
  }

  std::optional<size_t> Take() {
    std::unique_lock lock(mutex_);
    if (failure_ || taken_ == tasks_.size() || (stop_ && stop_->load()) || platform::InterruptRequested())
      return std::nullopt;
    const size_t index = taken_++;
    changed_.notify_all();
    const size_t before = predecessors_[index];
    if (before != kNoPredecessor) changed_.wait(lock, [&] { return done_[before] != 0 || failure_; });
    if (failure_) return std::nullopt;
    return index;
  }

  void Finish(size_t index, Share share) {
    std::lock_guard lock(mutex_);
    done_[index] = 1;
    finished_.emplace(index, std::move(share));
    changed_.notify_all();
  }

  // Ends the run at the next file of every worker; the first failure is
  // the one the caller sees.
  void Abandon(std::exception_ptr failure) {
    std::lock_guard lock(mutex_);
    if (!failure_) failure_ = std::move(failure);
    changed_.notify_all();
  }

  std::span<const FileTask> tasks_;
  const std::vector<size_t> predecessors_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<char> done_;
  // Finished files whose shares are not yet told; only the files behind a
  // slow one wait here.
  std::map<size_t, Share> finished_;
  size_t taken_ = 0;
  size_t working_ = 0;
  std::exception_ptr failure_;
  const std::atomic<bool>* stop_;
};

}  // namespace

std::vector<FileOutcome> ConvertInParallel(ConversionJob& job, std::span<const FileTask> tasks, unsigned workers,
                                           const FileConverter& convert, const ListedFileEvents& events,
                                           const std::atomic<bool>* stop) {
  // The workers copy their options and destination from here, never from
  // |job|, whose report grows on this thread meanwhile.
  ConversionJob run;
  run.options = job.options;
  run.outputRoot = job.outputRoot;
  run.systemCalls = job.systemCalls;
  const size_t count = std::clamp<size_t>(tasks.size(), 1, std::max(workers, 1u));
  // Workers beyond the files help with their pages from the start.
  run.spareWorkers = std::make_shared<SpareWorkers>();
  run.spareWorkers->Give(static_cast<int>(std::max(workers, 1u) - count));
  Scheduler scheduler(tasks, stop, count);
  std::vector<std::jthread> threads;
  threads.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    try {
      // Signals go to the thread that hands out the files, never to a
      // worker in the middle of a page.
      threads.push_back(platform::StartThreadWithInterruptsBlocked([&] { scheduler.Work(run, convert); }));
    } catch (const std::system_error&) {
      scheduler.WorkerNotStarted();
    }
  }
  if (threads.empty()) {
    // Out of threads: convert here, then tell everything at once.
    scheduler.WorkerAdded();
    scheduler.Work(run, convert);
  }
  return scheduler.Deliver(job, events);
}

}  // namespace tamarind
