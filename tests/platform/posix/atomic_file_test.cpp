#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "support/test_files.h"

namespace tamarind::platform {
namespace {

// The writer's system calls, in the order made; the one numbered |failAt|
// fails with the errno its name is given in kFailures.
class ScriptedCalls : public SystemCalls {
 public:
  explicit ScriptedCalls(int failAt = -1) : failAt_(failAt) {}

  // A cause a real system gives for each call, all different, so that the
  // message shows which one reached the user.
  static int FailureOf(const std::string& call) {
    static const std::map<std::string, int> kFailures = {
        {"openat", EACCES},  {"write", EFBIG},    {"fflush", ENOSPC},    {"fclose", EIO},       {"close", EDQUOT},
        {"fsync", EROFS},    {"dup", EMFILE},     {"fstatat", ELOOP},    {"faccessat", EACCES}, {"linkat", EMLINK},
        {"renameat", EXDEV}, {"unlinkat", EPERM}, {"ftruncate", ETXTBSY}};
    return kFailures.at(call);
  }

  const std::vector<std::string>& Made() const { return made_; }
  // More calls whose next use fails, whatever |failAt| says.
  void AlsoFail(std::string call) { alsoFail_.insert(std::move(call)); }

  int OpenAt(int folder, const char* name, int flags, mode_t mode) const override {
    return Fails("openat") ? -1 : Real().OpenAt(folder, name, flags, mode);
  }
  ssize_t Write(int fd, const void* bytes, size_t size) const override {
    return Fails("write") ? -1 : Real().Write(fd, bytes, size);
  }
  int Flush(std::FILE* stream) const override { return Fails("fflush") ? EOF : Real().Flush(stream); }
  // The stream and the descriptor are released even when their close
  // fails, as on Linux.
  int CloseStream(std::FILE* stream) const override {
    const bool fails = Fails("fclose");
    const int result = Real().CloseStream(stream);
    return fails ? Failed(EOF) : result;
  }
  int Close(int fd) const override {
    const bool fails = Fails("close");
    const int result = Real().Close(fd);
    return fails ? Failed(-1) : result;
  }
  int Sync(int fd) const override { return Fails("fsync") ? -1 : Real().Sync(fd); }
  int Duplicate(int fd) const override { return Fails("dup") ? -1 : Real().Duplicate(fd); }
  int StatAt(int folder, const char* name, struct stat* info, int flags) const override {
    return Fails("fstatat") ? -1 : Real().StatAt(folder, name, info, flags);
  }
  int AccessAt(int folder, const char* name, int mode, int flags) const override {
    return Fails("faccessat") ? -1 : Real().AccessAt(folder, name, mode, flags);
  }
  int LinkAt(int fromFolder, const char* from, int toFolder, const char* to, int flags) const override {
    return Fails("linkat") ? -1 : Real().LinkAt(fromFolder, from, toFolder, to, flags);
  }
  int RenameAt(int fromFolder, const char* from, int toFolder, const char* to) const override {
    return Fails("renameat") ? -1 : Real().RenameAt(fromFolder, from, toFolder, to);
  }
  int UnlinkAt(int folder, const char* name, int flags) const override {
    return Fails("unlinkat") ? -1 : Real().UnlinkAt(folder, name, flags);
  }
  int Truncate(int fd, off_t size) const override { return Fails("ftruncate") ? -1 : Real().Truncate(fd, size); }

 private:
  bool Fails(const char* call) const {
    made_.push_back(call);
    if (static_cast<int>(made_.size()) - 1 != failAt_ && !alsoFail_.contains(call)) return false;
    errno = FailureOf(call);
    return true;
  }
  int Failed(int result) const {
    errno = FailureOf(made_.back());
    return result;
  }

  int failAt_;
  std::set<std::string> alsoFail_;
  mutable std::vector<std::string> made_;
};

struct Setting {
  bool unnamed;       // else the named temporary file of file systems without unnamed ones
  bool targetExists;  // an earlier output to replace
};

void PrintTo(const Setting& s, std::ostream* out) {
  *out << (s.unnamed ? "unnamed" : "named") << (s.targetExists ? ", over an earlier output" : ", new");
}

class AtomicOutputFileTest : public ::testing::TestWithParam<Setting> {
 protected:
  void SetUp() override {
    if (GetParam().targetExists) test::WriteFileText(Target(), "old");
  }

  std::string Target() const { return dir_.File("page.jpg"); }
  OutputOptions Options(const SystemCalls* calls = nullptr) const {
    return {.sync = true, .unnamed = GetParam().unnamed, .calls = calls};
  }
  std::set<std::string> Before() const {
    return GetParam().targetExists ? std::set<std::string>{"page.jpg"} : std::set<std::string>{};
  }

  // Creates, writes "new" and commits through |calls|; the first failure.
  Status Write(const SystemCalls& calls) {
    auto file = AtomicOutputFile::Create(Target(), Options(&calls));
    if (!file) return file.status();
    std::fputs("new", (*file)->Stream());
    return (*file)->Commit();
  }

  test::ScopedTempDir dir_;
};

// Calls that need a descriptor (fchmod) reach the file that takes the final
// name; an output is committed once, and a committed one stays. (What the
// folder shows before the commit, and after a discard, the atomic writer's
// fuzz target checks after every step.)
TEST_P(AtomicOutputFileTest, TheCommitKeepsWhatTheDescriptorSetAndComesOnce) {
  auto file = AtomicOutputFile::Create(Target(), Options());
  ASSERT_TRUE(file) << file.reason();
  EXPECT_EQ(GetParam().unnamed, (*file)->TemporaryName().empty());
  std::fputs("new", (*file)->Stream());
  ASSERT_EQ(fchmod((*file)->Descriptor(), 0640), 0);
  ASSERT_TRUE((*file)->Commit());
  EXPECT_FALSE((*file)->Commit()) << "committed twice";
  EXPECT_TRUE((*file)->Discard()) << "a discard after the commit is harmless";
  file->reset();
  EXPECT_EQ(test::FolderNames(dir_.Path()), std::set<std::string>{"page.jpg"});
  EXPECT_EQ(test::ReadFileText(Target()), "new");
  struct stat info {};
  ASSERT_EQ(stat(Target().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// The system's own Sync is fsync, which refuses a pipe; a mere flush, or
// nothing at all, would not.
TEST(SystemCalls, SyncIsTheSystemsFsync) {
  int ends[2];
  ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
  errno = 0;
  EXPECT_EQ(SystemCalls::Real().Sync(ends[1]), -1);
  EXPECT_EQ(errno, EINVAL);
  close(ends[0]);
  close(ends[1]);
}

// This process's open descriptors.
size_t OpenDescriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// Every system call the writer makes fails in turn, with a cause a real
// system gives. No crash, the output fails with its name and that cause,
// and the folder is as it was: an earlier output untouched, no temporary
// name left, no descriptor kept open. The one exception is the flush of the folder after the
// rename: the new file is then in place, and the failure says so.
TEST_P(AtomicOutputFileTest, EachFailingCallFailsTheOutputWithItsCauseAndLeavesNothing) {
  ScriptedCalls record;
  const size_t descriptors = OpenDescriptors();
  ASSERT_TRUE(Write(record));
  EXPECT_EQ(OpenDescriptors(), descriptors);
  const std::vector<std::string> calls = record.Made();
  // With |sync| the data reaches the disk before the name, the name after.
  const auto firstSync = std::find(calls.begin(), calls.end(), "fsync");
  const auto naming =
      std::find_if(calls.begin(), calls.end(), [](auto& c) { return c == "linkat" || c == "renameat"; });
  ASSERT_TRUE(firstSync < naming && naming != calls.end());
  ASSERT_EQ(calls.back(), "fsync");

  for (size_t i = 0; i < calls.size(); ++i) {
    SCOPED_TRACE("call " + std::to_string(i) + ": " + calls[i]);
    std::filesystem::remove(Target());
    SetUp();
    ScriptedCalls failing(static_cast<int>(i));
    const Status written = Write(failing);
    ASSERT_FALSE(written);
    EXPECT_TRUE(written.reason().starts_with(Target() + ": ")) << written.reason();
    EXPECT_TRUE(written.reason().ends_with(ErrorText(ScriptedCalls::FailureOf(calls[i])))) << written.reason();
    EXPECT_EQ(written.error(), ScriptedCalls::FailureOf(calls[i]));
    EXPECT_EQ(OpenDescriptors(), descriptors);
    EXPECT_EQ(test::FolderNames(dir_.Path()), (i + 1 == calls.size() ? std::set<std::string>{"page.jpg"} : Before()));
    const std::string kept = i + 1 == calls.size() ? "new" : GetParam().targetExists ? "old" : "";
    if (!kept.empty()) {
      EXPECT_EQ(test::ReadFileText(Target()), kept);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, AtomicOutputFileTest,
                         ::testing::Values(Setting{true, false}, Setting{true, true}, Setting{false, false},
                                           Setting{false, true}),
                         [](const auto& info) {
                           return std::string(info.param.unnamed ? "Unnamed" : "Named") +
                                  (info.param.targetExists ? "OverAnEarlierOne" : "New");
                         });

// A folder that lets nothing be removed (append-only): the temporary file
// is emptied, and both failures are said.
TEST(AtomicOutputFile, ATemporaryFileThatCannotBeRemovedIsEmptiedAndSaidSo) {
  test::ScopedTempDir dir;
  ScriptedCalls calls;
  calls.AlsoFail("write");
  calls.AlsoFail("unlinkat");
  auto file = AtomicOutputFile::Create(dir.File("page.jpg"), {.unnamed = false, .calls = &calls});
  ASSERT_TRUE(file);
  const std::string temporary = (*file)->TemporaryName();
  std::fputs("a whole page", (*file)->Stream());
  const Status committed = (*file)->Commit();
  EXPECT_EQ(committed.reason(), dir.File("page.jpg") + ": File too large; " + dir.File(temporary) +
                                    ": emptied, but cannot be removed: Operation not permitted");
  EXPECT_EQ(test::ReadFileText(dir.File(temporary)), "");
}

TEST(AtomicOutputFile, CreateFailsInAMissingFolderNamingIt) {
  test::ScopedTempDir dir;
  auto file = AtomicOutputFile::Create(dir.File("missing/page.jpg"));
  EXPECT_EQ(file.reason(), dir.File("missing") + ": No such file or directory");
}

// Outputs only ever replace regular files (or links): anything else under
// the name fails the output with what it is, and stays. (Whatever appears
// there before the commit, the fuzz target checks; /dev and its links, the
// program's runs in a /dev of their own.)
TEST(AtomicOutputFile, NeverReplacesAnythingButARegularFile) {
  test::ScopedTempDir dir;
  const std::string path = dir.File("out.jpg");
  const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  const std::pair<std::function<int()>, const char*> kinds[] = {
      {[&] { return mkfifo(path.c_str(), 0600); }, "is a FIFO"},
      {[&] { return mkdir(path.c_str(), 0700); }, "is a folder"},
      {[&] { return bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address); }, "is a socket"},
      {[&] { return mknod(path.c_str(), S_IFCHR | 0600, makedev(1, 3)); }, "is a device"}};
  for (const auto& [make, reason] : kinds) {
    std::filesystem::remove_all(path);
    if (make() != 0) continue;  // a device needs root
    EXPECT_EQ(AtomicOutputFile::Create(path).reason(), path + ": " + reason);
    EXPECT_EQ(test::FolderNames(dir.Path()), std::set<std::string>{"out.jpg"});
    EXPECT_FALSE(std::filesystem::is_regular_file(path)) << reason;
  }
  close(socketFd);
}

}  // namespace
}  // namespace tamarind::platform
