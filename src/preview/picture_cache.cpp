#include "preview/picture_cache.h"

#include <cmath>

namespace tamarind {

PictureKey PictureKey::Of(int page, double scale, int turns) {
  return {page, ((turns % 4) + 4) % 4, std::llround(scale * 1e6)};
}

std::shared_ptr<const GreyPicture> PictureCache::Find(const PictureKey& key) {
  std::lock_guard guard(lock_);
  for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
    if (!(entry->key == key)) continue;
    entries_.splice(entries_.begin(), entries_, entry);
    return entries_.front().picture;
  }
  return nullptr;
}

void PictureCache::Put(const PictureKey& key, std::shared_ptr<const GreyPicture> picture) {
  const size_t size = picture->samples.size();
  if (size > maxBytes_) return;
  std::lock_guard guard(lock_);
  for (auto entry = entries_.begin(); entry != entries_.end(); ++entry) {
    if (!(entry->key == key)) continue;
    bytes_ -= entry->picture->samples.size();
    entries_.erase(entry);
    break;
  }
  entries_.push_front({key, std::move(picture)});
  bytes_ += size;
  while (bytes_ > maxBytes_) {
    bytes_ -= entries_.back().picture->samples.size();
    entries_.pop_back();
  }
}

size_t PictureCache::Bytes() const {
  std::lock_guard guard(lock_);
  return bytes_;
}

}  // namespace tamarind
