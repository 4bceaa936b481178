// Text that may grow past what memory should hold: the report of a folder
// run of a million files is 100 MB. Up to a threshold it stays in memory;
// past it the text goes to a private temporary file and is read back in
// pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "platform/outcome.h"
#include "platform/temp_file.h"

namespace tamarind::platform {

class TextSpool {
 public:
  // Keeps up to |inMemory| bytes in memory; more go to an unnamed file in
  // |folder| (TMPDIR's), made when first needed.
  TextSpool(std::string folder, size_t inMemory);

  // Appends |text|. When the temporary file cannot be made or written the
  // text stays in memory: a report is worth more than the memory it takes.
  void Append(std::string_view text);
  int64_t Size() const { return spilled_ + static_cast<int64_t>(memory_.size()); }

  // Hands the text to |take| in pieces of at most |pieceBytes|, in order.
  // Fails with the first failure of |take|, or when the file cannot be read
  // back.
  Status ForEachPiece(const PieceSink& take, size_t pieceBytes = size_t{1} << 20) const;

 private:
  std::string folder_;
  size_t inMemory_;
  std::string memory_;  // the text after the spilled part
  std::unique_ptr<PrivateTempFile> file_;
  int64_t spilled_ = 0;
};

}  // namespace tamarind::platform
