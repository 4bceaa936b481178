#include "platform/memory.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>

#include "support/test_files.h"

namespace tamarind::platform {
namespace {

struct MemoryCase {
  const char* name;
  std::map<std::string, std::string> files;  // below the fake root
  std::optional<int64_t> available;
};

class AvailableMemory : public ::testing::TestWithParam<MemoryCase> {};

TEST_P(AvailableMemory, IsTheSmallestRoomOfSystemAndControlGroups) {
  test::ScopedTempDir root;
  for (const auto& [path, text] : GetParam().files) {
    std::filesystem::create_directories(std::filesystem::path(root.File(path)).parent_path());
    test::WriteFileText(root.File(path), text);
  }
  EXPECT_EQ(AvailableMemoryBytesBelow(root.Path()), GetParam().available);
}

const std::string kMeminfo = "MemTotal:       16000000 kB\nMemFree:          100000 kB\nMemAvailable:    8000000 kB\n";

INSTANTIATE_TEST_SUITE_P(
    Layouts, AvailableMemory,
    ::testing::Values(MemoryCase{"SystemOnly", {{"proc/meminfo", kMeminfo}}, int64_t{8000000} * 1024},
                      MemoryCase{"V2Limit",
                                 {{"proc/meminfo", kMeminfo},
                                  {"proc/self/cgroup", "0::/app/job\n"},
                                  {"sys/fs/cgroup/app/job/memory.max", "1000000\n"},
                                  {"sys/fs/cgroup/app/job/memory.current", "400000\n"},
                                  {"sys/fs/cgroup/app/memory.max", "max\n"},
                                  {"sys/fs/cgroup/app/memory.current", "900000\n"}},
                                 600000},
                      // Seen from a namespace that shows no leading separator.
                      MemoryCase{"V2GroupWithoutLeadingSeparator",
                                 {{"proc/meminfo", kMeminfo},
                                  {"proc/self/cgroup", "0::app/job\n"},
                                  {"sys/fs/cgroup/app/job/memory.max", "1000000\n"},
                                  {"sys/fs/cgroup/app/job/memory.current", "400000\n"}},
                                 600000},
                      MemoryCase{"V2AncestorIsTighter",
                                 {{"proc/meminfo", kMeminfo},
                                  {"proc/self/cgroup", "0::/app/job\n"},
                                  {"sys/fs/cgroup/app/job/memory.max", "1000000\n"},
                                  {"sys/fs/cgroup/app/job/memory.current", "400000\n"},
                                  {"sys/fs/cgroup/app/memory.max", "500000\n"},
                                  {"sys/fs/cgroup/app/memory.current", "480000\n"}},
                                 20000},
                      MemoryCase{"V2OverItsLimit",
                                 {{"proc/self/cgroup", "0::/\n"},
                                  {"sys/fs/cgroup/memory.max", "1000\n"},
                                  {"sys/fs/cgroup/memory.current", "2000\n"}},
                                 0},
                      MemoryCase{"V1UnlimitedAndHybrid",
                                 {{"proc/meminfo", kMeminfo},
                                  {"proc/self/cgroup", "4:cpu,memory:/job\n0::/\n"},
                                  {"sys/fs/cgroup/memory/job/memory.limit_in_bytes", "9223372036854771712\n"},
                                  {"sys/fs/cgroup/memory/job/memory.usage_in_bytes", "5000\n"}},
                                 int64_t{8000000} * 1024},
                      MemoryCase{"V1LimitSeenFromANamespace",
                                 {{"proc/meminfo", kMeminfo},
                                  {"proc/self/cgroup", "4:memory:/outside/job\n"},
                                  {"sys/fs/cgroup/memory/memory.limit_in_bytes", "2000000000\n"},
                                  {"sys/fs/cgroup/memory/memory.usage_in_bytes", "500000000\n"}},
                                 1500000000},
                      MemoryCase{"NothingToRead", {}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// Reads memory files of every shape (lines cut anywhere, groups without a
// leading separator, "..", separators alone, no line end), then ends the
// process; the alarm ends a reading that loops.
[[noreturn]] void ReadMalformedFiles(const test::ScopedTempDir& root) {
  alarm(30);
  std::filesystem::create_directories(root.File("proc/self"));
  std::filesystem::create_directories(root.File("sys/fs/cgroup/memory/a/b"));
  // The pieces, separated by '|'.
  const std::string_view kPieces =
      "0|:|::|/|//|memory|,|a|b|..|.|\n|cpu,memory|max|-1| |MemAvailable:|kB|99999999999999999999";
  std::vector<std::string_view> pieces;
  for (size_t at = 0, end; at <= kPieces.size(); at = end + 1) {
    end = std::min(kPieces.find('|', at), kPieces.size());
    pieces.push_back(kPieces.substr(at, end - at));
  }
  std::mt19937 random(21);
  auto text = [&] {
    std::string made;
    for (uint32_t i = random() % 16; i > 0; --i) made += pieces[random() % pieces.size()];
    return made;
  };
  for (int round = 0; round < 300; ++round) {
    test::WriteFileText(root.File("proc/self/cgroup"), text());
    test::WriteFileText(root.File("proc/meminfo"), text());
    (void)AvailableMemoryBytesBelow(root.Path());
  }
  std::fputs("read them all", stderr);
  std::_Exit(0);
}

TEST(AvailableMemory, EndsOnAnyText) {
  test::ScopedTempDir root;
  EXPECT_EXIT(ReadMalformedFiles(root), ::testing::ExitedWithCode(0), "read them all");
}

TEST(AvailableMemory, IsKnownOnThisSystem) {
  std::optional<int64_t> available = AvailableMemoryBytes();
  ASSERT_TRUE(available);
  EXPECT_GT(*available, 0);
}

}  // namespace
}  // namespace tamarind::platform
