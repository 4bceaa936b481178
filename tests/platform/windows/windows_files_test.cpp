// What the Windows platform layer must do that Linux does differently:
// names beyond the ANSI code page, drive and long-path spellings, and the
// replacement of outputs that other programs hold open or that are marked
// read-only. Run under Wine in CI.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/atomic_file.h"
#include "platform/file_handle.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "platform/windows/unicode.h"
#include "support/test_files.h"

namespace tamarind::platform {
namespace {

std::string Backslashed(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

Status WriteOutput(const std::string& path, std::string_view text) {
  auto file = AtomicOutputFile::Create(path);
  if (!file) return file.status();
  std::fwrite(text.data(), 1, text.size(), (*file)->Stream());
  return (*file)->Commit();
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  const std::vector<FolderEntry> entries = ListFolder(folder).value();
  for (const FolderEntry& entry : entries) names.push_back(entry.name);
  return names;
}

class WindowsFiles : public ::testing::Test {
 protected:
  test::ScopedTempDir dir_;
};

// Greek, CJK and a character outside the Basic Multilingual Plane: none is
// in any ANSI code page at once, so only UTF-16 calls reach them.
TEST_F(WindowsFiles, NamesBeyondTheCodePageSurviveEveryCall) {
  const std::string folder = JoinPath(dir_.Path(), "φαξ 傳真");
  const std::string name = "σελίδα 📠.jpg";
  ASSERT_TRUE(MakeFolders(JoinPath(folder, "κάτω")));
  ASSERT_TRUE(WriteOutput(JoinPath(folder, name), "page"));
  EXPECT_EQ(Names(folder), (std::vector<std::string>{"κάτω", name}));
  EXPECT_EQ(ListFolder(folder)->at(0).kind, FolderEntry::Kind::Folder);
  auto read = OpenRegularFile(JoinPath(folder, name));
  ASSERT_TRUE(read) << read.reason();
  EXPECT_EQ(read->Size(), 4);
  EXPECT_TRUE(IsRegularFile(JoinPath(folder, name)));
  EXPECT_EQ(StatusOf(JoinPath(folder, name))->size, 4);
}

// The same folder named with backslashes, mixed separators and the long-
// path prefix: made once, found by every spelling.
TEST_F(WindowsFiles, DriveAndLongPathSpellingsNameOneFolder) {
  char full[MAX_PATH];
  ASSERT_GT(GetFullPathNameA(dir_.Path().c_str(), MAX_PATH, full, nullptr), 0u);
  const std::string root = Backslashed(full);
  ASSERT_EQ(RootLength(root), 3u) << root;  // a drive letter, as Windows gives it
  ASSERT_TRUE(MakeFolders("\\\\?\\" + root + "\\a\\b/c\\"));
  EXPECT_TRUE(IsFolder(root + "/a/b/c"));
  EXPECT_TRUE(IsFolder(root + "\\a\\b\\c"));
  ASSERT_TRUE(WriteOutput(root + "/a\\b/c\\page.jpg", "x"));
  EXPECT_TRUE(SameFile(root + "\\a\\b\\c\\page.jpg", "\\\\?\\" + root + "\\a\\b\\c\\page.jpg"));
}

// A reader that shares deletion (as every reader here does) keeps reading
// the old data; where the system replaces an open file (POSIX semantics of
// Windows 10 and later) the new data takes the name, elsewhere (older
// systems, Wine) the replacement fails with a reason. A program that does
// not share deletion always makes it fail. Either way: no partial file, the
// old one whole, no temporary left.
TEST_F(WindowsFiles, AnOpenTargetIsReplacedWholeOrLeftWhole) {
  const std::string path = dir_.File("page.jpg");
  ASSERT_TRUE(WriteOutput(path, "old"));
  {
    auto reader = OpenRegularFile(path);
    ASSERT_TRUE(reader);
    const Status replaced = WriteOutput(path, "new!");
    std::vector<uint8_t> held(8);
    EXPECT_EQ(reader->ReadAt(0, held).value_or(-1), 3);
    reader->Close();
    EXPECT_EQ(test::ReadFileText(path), replaced ? "new!" : "old") << replaced.reason();
    EXPECT_EQ(Names(dir_.Path()), (std::vector<std::string>{"page.jpg"}));
  }
  ASSERT_TRUE(WriteOutput(path, "new!"));

  const HANDLE locked =
      CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  const Status refused = WriteOutput(path, "newer");
  CloseHandle(locked);
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.reason().rfind(path + ": ", 0), 0u) << refused.reason();
  EXPECT_EQ(test::ReadFileText(path), "new!");
  EXPECT_EQ(Names(dir_.Path()), (std::vector<std::string>{"page.jpg"}));
}

TEST_F(WindowsFiles, AReadOnlyTargetIsKept) {
  const std::string path = dir_.File("kept.jpg");
  ASSERT_TRUE(WriteOutput(path, "keep me"));
  ASSERT_TRUE(SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_READONLY));
  const Status refused = WriteOutput(path, "lost");
  EXPECT_EQ(refused.reason(), path + ": is write-protected");
  SetFileAttributesW(Widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(test::ReadFileText(path), "keep me");
  EXPECT_EQ(Names(dir_.Path()), (std::vector<std::string>{"kept.jpg"}));
}

// Until Commit() the final name does not exist, and a discarded output
// leaves no file at all.
TEST_F(WindowsFiles, AnUnfinishedOutputLeavesNothing) {
  const std::string path = dir_.File("page.jpg");
  {
    auto file = AtomicOutputFile::Create(path);
    ASSERT_TRUE(file);
    std::fputs("half a page", (*file)->Stream());
    std::fflush((*file)->Stream());
    EXPECT_FALSE(test::FileExists(path));
  }
  EXPECT_EQ(Names(dir_.Path()), std::vector<std::string>{});
}

// A link to a folder is listed but never entered; the walk cannot loop.
TEST_F(WindowsFiles, TheWalkDoesNotFollowALinkToAFolder) {
  ASSERT_TRUE(MakeFolder(dir_.File("real")));
  if (!CreateSymbolicLinkW(Widen(dir_.File("loop")).c_str(), Widen(dir_.Path()).c_str(),
                           SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) ||
      GetFileAttributesW(Widen(dir_.File("loop")).c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "this system makes no symbolic links for this user";
  const auto entries = ListFolder(dir_.Path()).value();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "loop");
  EXPECT_EQ(entries[0].kind, FolderEntry::Kind::Other);
  EXPECT_EQ(entries[1].kind, FolderEntry::Kind::Folder);
}

// Ctrl-C reaches the program as a console event, recorded as SIGINT.
TEST(WindowsInterrupt, ControlCIsRecordedAsSigint) {
  InstallInterruptHandlers(OnInterrupt::kRecord);
  if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) GTEST_SKIP() << "no console to send Ctrl-C through";
  for (int waited = 0; waited < 200 && !InterruptRequested(); ++waited) Sleep(10);
  EXPECT_EQ(InterruptSignal(), SIGINT);
  EXPECT_EQ(SignalName(InterruptSignal()), "SIGINT");
}

}  // namespace
}  // namespace tamarind::platform
