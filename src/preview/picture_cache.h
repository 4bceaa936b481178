// Pages a viewer has rendered, kept for a while so that paging back and
// forth does not decode them again: the most recently used pictures, up to
// a number of bytes. Safe to use from several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>

#include "preview/page_preview.h"

namespace tamarind {

// A page as rendered: its index, its quarter turns and its scale (to a
// millionth).
struct PictureKey {
  int page = 0;
  int turns = 0;
  int64_t scale = 0;

  static PictureKey Of(int page, double scale, int turns);
  bool operator==(const PictureKey&) const = default;
};

class PictureCache {
 public:
  explicit PictureCache(size_t maxBytes) : maxBytes_(maxBytes) {}

  // The picture for |key|, or null; a hit becomes the most recent.
  std::shared_ptr<const GreyPicture> Find(const PictureKey& key);
  // Keeps |picture| for |key|, dropping the least recently used pictures
  // until the rest fit. A picture larger than the whole cache is not kept.
  void Put(const PictureKey& key, std::shared_ptr<const GreyPicture> picture);
  size_t Bytes() const;

 private:
  struct Entry {
    PictureKey key;
    std::shared_ptr<const GreyPicture> picture;
  };

  const size_t maxBytes_;
  mutable std::mutex lock_;
  std::list<Entry> entries_;  // most recent first
  size_t bytes_ = 0;
};

}  // namespace tamarind
