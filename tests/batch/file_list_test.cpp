// File lists and shards: how a list's text becomes entries, and the hash
// that must never change.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "batch/file_list.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::ElementsAreArray;

TEST(FileList, EntriesAreSplitAsTheListWasWritten) {
  struct Case {
    std::string_view text;
    std::string_view source;
    std::vector<std::string> entries;
  } cases[] = {
      {"a.fxd\nsub/b.fxd\n", "", {"a.fxd", "sub/b.fxd"}},
      {"a.fxd\r\n\r\nb c.fxd", "", {"a.fxd", "b c.fxd"}},  // CR LF, blank line, no final LF
      {std::string_view("new\nline.fxd\0b.fxd\0", 20), "", {"new\nline.fxd", "b.fxd"}},  // any NUL: NULs only
      {std::string_view("a.fxd\r\0", 7), "", {"a.fxd\r"}},         // a NUL list keeps every other byte
      {"./a.fxd\n././sub/b.fxd\n", "in", {"a.fxd", "sub/b.fxd"}},  // as `cd in; find .` writes
      {"/srv/in/sub/a.fxd\n/srv/inbox/b.fxd\n/srv/in\n", "/srv/in", {"sub/a.fxd", "/srv/inbox/b.fxd", "/srv/in"}},
      {"/srv/in/a.fxd\n", "/srv/in/", {"a.fxd"}},
      {"in/a.fxd\n", "in", {"in/a.fxd"}},  // a relative entry is relative to the folder, as it is
      {"\xff\xfe.fxd\n", "", {"\xff\xfe.fxd"}},
      {"", "", {}},
  };
  for (const Case& c : cases) EXPECT_THAT(SplitFileList(c.text, c.source), ElementsAreArray(c.entries)) << c.text;
}

// A list is read piece by piece and refused, naming the limit, once it is
// past one: its bytes (an endless /dev/zero), its files (an endless
// `yes a.fxd`; only the run's shard counts), one entry's length. Blank
// lines and separators alone cost no file.
TEST(FileList, ListsPastALimitAreRefusedNamingIt) {
  struct Case {
    std::string text;
    Shard shard;
    const char* refusal;  // nullptr: read
  };
  const FileListLimits limits{.bytes = 4096, .files = 10, .entryBytes = 40};
  std::string tenFiles, elevenFiles, manyShards;
  for (int i = 0; i < 10; ++i) tenFiles += "f" + std::to_string(i) + ".fxd\n";
  elevenFiles = tenFiles + "last.fxd\n";
  for (int i = 0; i < 100; ++i) manyShards += "s" + std::to_string(i) + ".fxd\n";
  const Case cases[] = {
      {tenFiles + std::string(3000, '\n'), {}, nullptr},
      {elevenFiles, {}, "the list names more than 10 files"},
      {std::string(5000, '\0'), {}, "the list is longer than"},
      {std::string(41, 'a') + "\n", {}, "entry 1 is longer than 40 bytes"},
      {std::string(40, 'a') + "\r\n", {}, nullptr},
      {manyShards, {.index = 3, .count = 20}, nullptr},  // about 5 of 100 kept
      {manyShards, {}, "the list names more than 10 files"},
  };
  test::ScopedTempDir dir;
  for (const Case& c : cases) {
    test::WriteFileText(dir.File("list"), c.text);
    auto listed = ReadFileList(dir.File("list"), "", c.shard, limits);
    if (!c.refusal) {
      EXPECT_TRUE(listed) << c.text.substr(0, 40) << ": " << listed.reason();
      continue;
    }
    ASSERT_FALSE(listed) << c.text.substr(0, 40);
    EXPECT_EQ(listed.error(), 0);
    EXPECT_THAT(listed.reason(), ::testing::HasSubstr(c.refusal));
  }
}

// The published FNV-1a test values: a shard is the same on every machine
// and in every later version.
TEST(FileList, ShardHashIsFnv1a64) {
  EXPECT_EQ(ShardHash(""), 0xcbf29ce484222325ull);
  EXPECT_EQ(ShardHash("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(ShardHash("foobar"), 0x85944171f73967e8ull);
  EXPECT_EQ(ShardHash("\xff"), (0xcbf29ce484222325ull ^ 0xffu) * 0x100000001b3ull);  // bytes are unsigned
}

}  // namespace
}  // namespace tamarind
