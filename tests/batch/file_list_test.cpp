// File lists and shards: how a list's text becomes entries, and the hash
// that must never change.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "batch/file_list.h"

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
      {"a.fxd\r\n\r\nb c.fxd", "", {"a.fxd", "b c.fxd"}},               // CR LF, blank line, no final LF
      {std::string_view("new\nline.fxd\0b.fxd\0", 20), "", {"new\nline.fxd", "b.fxd"}},  // any NUL: NULs only
      {std::string_view("a.fxd\r\0", 7), "", {"a.fxd\r"}},              // a NUL list keeps every other byte
      {"./a.fxd\n././sub/b.fxd\n", "in", {"a.fxd", "sub/b.fxd"}},       // as `cd in; find .` writes
      {"/srv/in/sub/a.fxd\n/srv/inbox/b.fxd\n/srv/in\n", "/srv/in", {"sub/a.fxd", "/srv/inbox/b.fxd", "/srv/in"}},
      {"/srv/in/a.fxd\n", "/srv/in/", {"a.fxd"}},
      {"in/a.fxd\n", "in", {"in/a.fxd"}},  // a relative entry is relative to the folder, as it is
      {"\xff\xfe.fxd\n", "", {"\xff\xfe.fxd"}},
      {"", "", {}},
  };
  for (const Case& c : cases)
    EXPECT_THAT(SplitFileList(c.text, c.source), ElementsAreArray(c.entries)) << c.text;
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
