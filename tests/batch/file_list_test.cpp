// The shard hash, which must never change: a shard is the same on every
// machine and in every later version.
#include <gtest/gtest.h>

#include "batch/file_list.h"

namespace tamarind {
namespace {

// The published FNV-1a test values.
TEST(FileList, ShardHashIsFnv1a64) {
  EXPECT_EQ(ShardHash(""), 0xcbf29ce484222325ull);
  EXPECT_EQ(ShardHash("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(ShardHash("foobar"), 0x85944171f73967e8ull);
  EXPECT_EQ(ShardHash("\xff"), (0xcbf29ce484222325ull ^ 0xffu) * 0x100000001b3ull);  // bytes are unsigned
}

}  // namespace
}  // namespace tamarind
