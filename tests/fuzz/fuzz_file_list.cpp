// File lists (/files-from=) against a plain model of their rules: the
// separator chosen by the list's head, CR LF lines, skipped blank entries,
// "./" and the source folder taken off, a shard kept, and the first entry
// past a limit refused with its number. The list is read whole by
// SplitFileList and from a file by ReadFileList, whose pieces the fuzzer
// can make an entry straddle by padding the list with separators.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "batch/file_list.h"
#include "fuzz_input.h"

namespace {

using std::string_view;
using tamarind::fuzz::Expect;

std::string Thousands(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

struct Model {
  std::vector<std::string> entries;    // kept before any refusal
  std::optional<std::string> refusal;  // how the reason starts
};

string_view Relative(string_view entry, string_view folder) {
  while (entry.starts_with("./")) entry.remove_prefix(2);
  if (folder.empty() || !entry.starts_with('/') || !entry.starts_with(folder)) return entry;
  const string_view rest = entry.substr(folder.size());
  if (folder.ends_with('/')) return rest;
  return rest.starts_with('/') ? rest.substr(1) : entry;
}

Model Expected(string_view text, string_view folder, const tamarind::Shard& shard,
               const tamarind::FileListLimits& limits) {
  Model model;
  if (static_cast<int64_t>(text.size()) > limits.bytes) {
    model.refusal = "the list is longer than ";
    return model;
  }
  const char separator = text.substr(0, 4097).find('\0') != string_view::npos ? '\0' : '\n';
  uint64_t number = 0;
  for (size_t start = 0; start <= text.size(); ++number) {
    const size_t end = std::min(text.find(separator, start), text.size());
    string_view entry = text.substr(start, end - start);
    start = end + 1;
    if (entry.empty()) continue;
    if (separator == '\n' && entry.ends_with('\r')) entry.remove_suffix(1);
    if (entry.size() > limits.entryBytes)
      model.refusal = "entry " + Thousands(number + 1) + " is longer than " + Thousands(limits.entryBytes) + " bytes";
    else if (entry.find('\0') != string_view::npos)
      model.refusal = "line " + Thousands(number + 1) + " holds a NUL byte";
    if (model.refusal) return model;
    entry = Relative(entry, folder);
    if (entry.empty() || tamarind::ShardHash(entry) % shard.count != shard.index) continue;
    if (model.entries.size() == limits.files) {
      model.refusal = "the list names more than " + Thousands(limits.files) + " files";
      return model;
    }
    model.entries.emplace_back(entry);
  }
  return model;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tamarind::fuzz::ScratchFolder scratch("fuzz-file-list");
  FuzzedDataProvider in(data, size);
  const string_view folder =
      std::array<string_view, 4>{"", "/srv/fax", "/srv/fax/", "/"}[in.ConsumeIntegralInRange(0, 3)];
  tamarind::Shard shard;
  shard.count = in.ConsumeIntegralInRange<uint64_t>(1, 5);
  shard.index = in.ConsumeIntegralInRange<uint64_t>(0, shard.count - 1);
  tamarind::FileListLimits limits;
  const bool padded = in.ConsumeBool();
  const char padding = in.ConsumeBool() ? '\n' : '\0';
  if (in.ConsumeBool()) {
    limits.entryBytes = in.ConsumeIntegralInRange<size_t>(0, 40);
    limits.files = in.ConsumeIntegralInRange<size_t>(0, 8);
    if (!padded) limits.bytes = in.ConsumeIntegralInRange<int64_t>(0, static_cast<int64_t>(2 * size));
  }
  std::string text = in.ConsumeRemainingBytesAsString();
  // Pieces are 64 KiB: the list's own bytes then begin in the first and
  // end in the second.
  if (padded) text.insert(0, 65536 - std::min<size_t>(text.size() / 2, 65536), padding);

  const Model whole = Expected(text, folder, {}, {INT64_MAX, SIZE_MAX, SIZE_MAX});
  Expect(tamarind::SplitFileList(text, folder) == whole.entries, "SplitFileList keeps the entries before a refusal");
  const Model model = Expected(text, folder, shard, limits);
  const std::string path = scratch.File("list");
  tamarind::fuzz::WriteBytes(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  const auto read = tamarind::ReadFileList(path, std::string(folder), shard, limits);
  Expect(read.ok() == !model.refusal, "a list is refused past a limit, and only then");
  if (model.refusal) {
    Expect(read.error() == 0 && read.reason().starts_with(*model.refusal), "the refusal names the limit and entry");
    return 0;
  }
  Expect(*read == model.entries, "ReadFileList keeps the shard's entries, in order");
  std::vector<std::string> kept = whole.entries;
  tamarind::KeepShard(kept, shard.index, shard.count);
  Expect(kept == *read, "KeepShard keeps the same shard");
  return 0;
}
