#include "platform/text_spool.h"

#include <algorithm>
#include <span>
#include <vector>

namespace tamarind::platform {

TextSpool::TextSpool(std::string folder, size_t inMemory) : folder_(std::move(folder)), inMemory_(inMemory) {}

void TextSpool::Append(std::string_view text) {
  memory_.append(text);
  if (memory_.size() <= inMemory_) return;
  if (!file_) {
    auto made = PrivateTempFile::Create(folder_, "tamarind-report", ".tmp");
    if (!made) return;
    file_ = std::move(*made);
  }
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(memory_.data()), memory_.size());
  if (!file_->WriteAt(spilled_, bytes)) return;
  spilled_ += static_cast<int64_t>(memory_.size());
  memory_.clear();
  // Hand the memory back too: a std::string keeps its capacity.
  memory_.shrink_to_fit();
}

Status TextSpool::ForEachPiece(const PieceSink& take, size_t pieceBytes) const {
  if (spilled_ > 0) {
    std::vector<uint8_t> piece(pieceBytes);
    for (int64_t at = 0; at < spilled_;) {
      const size_t want = static_cast<size_t>(std::min<int64_t>(spilled_ - at, static_cast<int64_t>(pieceBytes)));
      Expected<int64_t> got = file_->ReadAt(at, std::span(piece).first(want));
      if (!got) return got.status();
      if (*got <= 0) return Failure::About(file_->Path(), "the spooled text ends early");
      if (Status taken = take(std::string_view(reinterpret_cast<const char*>(piece.data()), static_cast<size_t>(*got)));
          !taken)
        return taken;
      at += *got;
    }
  }
  for (size_t at = 0; at < memory_.size(); at += pieceBytes)
    if (Status taken = take(std::string_view(memory_).substr(at, pieceBytes)); !taken) return taken;
  return {};
}

}  // namespace tamarind::platform
