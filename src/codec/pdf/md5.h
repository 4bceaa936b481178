// MD5 (RFC 1321), for the file identifier of a PDF: PDF names MD5 over the
// file's content as the usual way to make one. Not for security.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tamarind::pdf_internal {

class Md5 {
 public:
  Md5();
  void Update(std::span<const uint8_t> bytes);
  // The digest of everything given so far; Update() may not follow.
  std::array<uint8_t, 16> Finish();

 private:
  void Block(const uint8_t* block);

  std::array<uint32_t, 4> state_;
  std::array<uint8_t, 64> pending_{};
  uint64_t length_ = 0;  // bytes given
};

}  // namespace tamarind::pdf_internal
