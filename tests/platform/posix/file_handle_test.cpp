#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace tamarind::platform {
namespace {

// A blocking open would hang the test; the alarm ends it instead.
class HangGuard {
 public:
  HangGuard() { alarm(20); }
  ~HangGuard() { alarm(0); }
};

TEST(OpenRegularFile, RefusesAnythingButARegularFileAtOnceWithItsReason) {
  HangGuard guard;
  test::ScopedTempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe.fxd").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", dir.File("zeros.fxd").c_str()), 0);
  ASSERT_EQ(mkdir(dir.File("folder.fxd").c_str(), 0700), 0);
  const std::pair<const char*, const char*> cases[] = {
      {"pipe.fxd", "is a FIFO"},
      {"zeros.fxd", "is a device"},
      {"folder.fxd", nullptr},  // the system's own words; appending cannot even open it
      {"missing/log.txt", "No such file or directory"},
  };
  for (OpenFor purpose : {OpenFor::kReading, OpenFor::kAppending}) {
    for (auto [name, reason] : cases) {
      Expected<FileHandle> file = OpenRegularFile(dir.File(name), purpose);
      ASSERT_FALSE(file) << name;
      EXPECT_TRUE(file.reason().starts_with(dir.File(name) + ": ")) << file.reason();
      if (reason) {
        EXPECT_TRUE(file.reason().ends_with(reason)) << file.reason();
      }
    }
  }
}

TEST(OpenRegularFile, GivesABlockingHandleThatReadsAndAppends) {
  test::ScopedTempDir dir;
  const std::string path = dir.File("log.txt");
  for (std::string_view entry : {"one\n", "two\n"}) {
    Expected<FileHandle> log = OpenRegularFile(path, OpenFor::kAppending);
    ASSERT_TRUE(log) << log.reason();
    EXPECT_EQ(fcntl(log->Descriptor(), F_GETFL) & O_NONBLOCK, 0);
    ASSERT_EQ(write(log->Descriptor(), entry.data(), entry.size()), static_cast<ssize_t>(entry.size()));
  }
  Expected<FileHandle> file = OpenRegularFile(path);
  ASSERT_TRUE(file) << file.reason();
  EXPECT_EQ(file->Size(), 8);
  std::vector<uint8_t> bytes(10, 0xEE);
  EXPECT_EQ(file->ReadAt(4, bytes).value_or(-1), 4);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "two\n");
}

}  // namespace
}  // namespace tamarind::platform
