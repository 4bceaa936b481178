// The cores a run has left over for recognising the pages of one fax side
// by side: a run with fewer faxes than workers gives the rest from the
// start, and a worker that finds no fax left to convert gives its own.
// Shared by the workers of one run; thread-safe.
#pragma once

#include <algorithm>
#include <atomic>
#include <memory>

namespace tamarind {

class SpareWorkers {
 public:
  void Give(int count = 1) {
    if (count > 0) spare_.fetch_add(count);
  }

  // Takes up to |wanted| spare workers, none when none are spare; give
  // them back with Give().
  int Borrow(int wanted) {
    int spare = spare_.load();
    int taken = 0;
    do {
      taken = std::clamp(spare, 0, std::max(wanted, 0));
    } while (taken > 0 && !spare_.compare_exchange_weak(spare, spare - taken));
    return taken;
  }

 private:
  std::atomic<int> spare_{0};
};

// Workers borrowed for as long as this lives.
class BorrowedWorkers {
 public:
  BorrowedWorkers() = default;
  BorrowedWorkers(std::shared_ptr<SpareWorkers> from, int wanted)
      : from_(std::move(from)), count_(from_ ? from_->Borrow(wanted) : 0) {}
  BorrowedWorkers(const BorrowedWorkers&) = delete;
  BorrowedWorkers& operator=(const BorrowedWorkers&) = delete;
  ~BorrowedWorkers() {
    if (from_) from_->Give(count_);
  }
  int count() const { return count_; }

 private:
  std::shared_ptr<SpareWorkers> from_;
  int count_ = 0;
};

}  // namespace tamarind
