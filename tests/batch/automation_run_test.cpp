// The real program in the runs that scripts and clusters make: shards, file
// lists, reruns with /skip, the JSON report, the watch, refused switches and
// the GNU parallel example of docs/scale.md.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "batch/file_list.h"
#include "platform/files.h"
#include "support/fax_files.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::ShellQuote;
using ::testing::HasSubstr;

// Every regular file under |folder| by its relative path, with its bytes;
// unfinished ".tmp" files included, so that they show.
std::map<std::string, std::vector<uint8_t>> Tree(const std::string& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = test::ReadFileBytes(entry.path());
  return files;
}

// The objects of a JSON-lines report; a line that is not JSON fails the test.
std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  for (size_t start = 0, end; start < text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    const std::string line = text.substr(start, end - start);
    try {
      lines.push_back(Json::parse(line));
    } catch (const Json::exception& e) {
      ADD_FAILURE() << e.what() << " in: " << line;
    }
  }
  return lines;
}

// The file objects by source, after checking that the last line is the
// summary and that it counts them.
std::map<std::string, Json> FileObjects(const std::vector<Json>& lines) {
  std::map<std::string, Json> bySource;
  if (lines.empty() || !lines.back().contains("summary")) {
    ADD_FAILURE() << "no summary line";
    return bySource;
  }
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_TRUE(bySource.emplace(lines[i].at("source"), lines[i]).second) << "twice: " << lines[i];
  }
  EXPECT_EQ(lines.back()["summary"]["files"], bySource.size());
  return bySource;
}

// Each source's status in the JSON report at |path|.
std::map<std::string, std::string> Statuses(const std::string& path) {
  std::map<std::string, std::string> statuses;
  for (const auto& [source, object] : FileObjects(JsonLines(test::ReadFileText(path))))
    statuses[source] = object["status"];
  return statuses;
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& [name, bytes] : Tree(folder)) names.insert(name);
  return names;
}

class AutomationRun : public ::testing::Test {
 protected:
  void SetUp() override {
    // in/a.fxd  in/b.fxs (2 pages)  in/sub/c.fxd  in/sub/d.fxm (2 pages)
    // in/sub/deeper/e.fxr  in/f.fxd
    ASSERT_TRUE(platform::MakeFolders(dir.File("in/sub/deeper")));
    Fax("in/a.fxd", {"text-fine-g3"});
    Fax("in/b.fxs", {"text-standard-g4", "text-fine-g3"});
    Fax("in/sub/c.fxd", {"text-standard-g3"});
    Fax("in/sub/d.fxm", {"text-fine-g4", "text-standard-g3"});
    Fax("in/sub/deeper/e.fxr", {"text-fine-g4"});
    Fax("in/f.fxd", {"text-standard-g4"});
  }

  void Fax(const std::string& name, const std::vector<std::string_view>& pages) {
    test::WriteFaxFile(dir.File(name), pages);
  }

  // Runs tamarind with |arguments| in the scratch folder, standard error
  // into Err(), and its log in the scratch folder.
  test::CommandResult Tamarind(const std::string& arguments, const std::string& input = "/dev/null") {
    return test::RunProgram(dir.Path(), arguments + " /log=log.txt <" + input + " 2>err.txt");
  }
  std::string Err() { return test::ReadFileText(dir.File("err.txt")); }

  test::ScopedTempDir dir;
};

// FNV-1a, 64 bits, as published: the shard rule every machine applies.
uint64_t Fnv1a64(std::string_view bytes) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char byte : bytes) hash = (hash ^ byte) * 0x100000001b3ull;
  return hash;
}

// A shard holds exactly the files whose hash of the path relative to the
// source folder falls in it, whatever N; together they are the single run.
TEST_F(AutomationRun, ShardsTakeTheFilesTheirPathsHashTo) {
  ASSERT_EQ(Tamarind("/q /d=in /i /kh /sd=all").exitCode, 0);
  const auto single = Tree(dir.File("all"));
  ASSERT_EQ(single.size(), 8u);
  bool nameWouldDiffer = false;
  for (int count : {1, 2, 5}) {
    std::set<std::string> sources;
    for (int index = 0; index < count; ++index) {
      const std::string shard = std::to_string(index) + "/" + std::to_string(count);
      const std::string destination = "shards" + std::to_string(count);
      ASSERT_EQ(Tamarind("/q /d=in /i /kh /sd=" + destination + " /shard=" + shard + " /report=r.jsonl").exitCode, 0);
      for (const auto& [source, object] : FileObjects(JsonLines(test::ReadFileText(dir.File("r.jsonl"))))) {
        EXPECT_TRUE(sources.insert(source).second) << source << " in two shards of " << count;
        const std::string relative = source.substr(3);  // "in/"
        EXPECT_EQ(Fnv1a64(relative) % count, static_cast<uint64_t>(index)) << relative << " of " << count;
        nameWouldDiffer |= Fnv1a64(fs::path(relative).filename().string()) % count != Fnv1a64(relative) % count;
      }
    }
    EXPECT_EQ(sources.size(), 6u) << count;
    EXPECT_TRUE(Tree(dir.File("shards" + std::to_string(count))) == single) << count;
  }
  EXPECT_TRUE(nameWouldDiffer) << "no file tells a hash of the path from a hash of the name";
  // The published test values; bytes are unsigned.
  EXPECT_EQ(Fnv1a64("foobar"), 0x85944171f73967e8ull);
  for (std::string_view bytes : {"", "a", "foobar", "\xff"}) EXPECT_EQ(ShardHash(bytes), Fnv1a64(bytes)) << bytes;
}

TEST_F(AutomationRun, FileListsNameFilesRelativeToTheSourceFolderOrAsGiven) {
  // NUL-separated on standard input, with the forms find writes.
  const std::string list = std::string("sub/c.fxd") + '\0' + "./a.fxd" + '\0' + dir.File("in/sub/deeper/e.fxr") + '\0' +
                           "gone.fxd" + '\0' + "../in/f.fxd" + '\0';
  test::WriteFileText(dir.File("list0"), list);
  test::CommandResult run = Tamarind("/q /files-from=- /d=in /kh /sd=mirror /report=r.jsonl", "list0");
  EXPECT_EQ(run.exitCode, 2);
  const auto mirrored = Tree(dir.File("mirror"));
  EXPECT_EQ(Names(dir.File("mirror")), (std::set<std::string>{"a.jpg", "sub/c.jpg", "sub/deeper/e.jpg"}));
  auto objects = FileObjects(JsonLines(test::ReadFileText(dir.File("r.jsonl"))));
  ASSERT_EQ(objects.size(), 5u);
  EXPECT_EQ(objects["in/gone.fxd"]["status"], "failed");
  EXPECT_THAT(objects["in/gone.fxd"]["reason"].get<std::string>(), HasSubstr("No such file or directory"));
  EXPECT_EQ(objects["in/../in/f.fxd"]["status"], "failed");  // mirrored, it would leave the destination
  EXPECT_THAT(test::ReadFileText(dir.File("log.txt")),
              HasSubstr("Failed : in/gone.fxd - No such file or directory\r\n"));

  // Lines from a file, no source folder: outputs go flat, the later of two
  // equal names wins as in a folder run.
  test::WriteFileText(dir.File("list.txt"), "in/sub/c.fxd\r\nin/a.fxd\nin/sub/deeper/../c.fxd\n");
  ASSERT_EQ(Tamarind("/q /files-from=list.txt /sd=flat").exitCode, 0);
  const auto flat = Tree(dir.File("flat"));
  ASSERT_EQ(flat.size(), 2u);
  EXPECT_TRUE(flat.at("a.jpg") == mirrored.at("a.jpg"));
  EXPECT_TRUE(flat.at("c.jpg") == mirrored.at("sub/c.jpg"));
}

// An interrupted run leaves some outputs, maybe a page of a multi-page fax,
// an empty file from elsewhere and a temporary name; /skip converts the
// rest and leaves the finished outputs alone.
TEST_F(AutomationRun, SkipAfterAnInterruptedRunConvertsOnlyTheRest) {
  ASSERT_EQ(Tamarind("/q /d=in /i /kh /sd=out").exitCode, 0);
  const auto complete = Tree(dir.File("out"));
  fs::remove(dir.File("out/sub/d002.jpg"));
  fs::remove(dir.File("out/f.jpg"));
  test::WriteFileText(dir.File("out/a.jpg"), "");
  test::WriteFileText(dir.File("out/sub/c.jpg.Xy12ab.tmp"), "half");
  const auto keptTime = fs::last_write_time(dir.File("out/b001.jpg"));

  ASSERT_EQ(Tamarind("/q /d=in /i /kh /sd=out /skip /report=r.jsonl").exitCode, 0);
  EXPECT_EQ(Statuses(dir.File("r.jsonl")), (std::map<std::string, std::string>{{"in/a.fxd", "converted"},
                                                                               {"in/b.fxs", "skipped"},
                                                                               {"in/f.fxd", "converted"},
                                                                               {"in/sub/c.fxd", "skipped"},
                                                                               {"in/sub/d.fxm", "converted"},
                                                                               {"in/sub/deeper/e.fxr", "skipped"}}));
  EXPECT_EQ(fs::last_write_time(dir.File("out/b001.jpg")), keptTime);
  auto after = Tree(dir.File("out"));
  after.erase("sub/c.jpg.Xy12ab.tmp");
  EXPECT_TRUE(after == complete);
}

TEST_F(AutomationRun, JsonReportParsesAndAgreesWithTheOutputs) {
  Fax("in/torn.fxd", {"text-fine-g3", test::kEmptyPage, "text-fine-g3"});
  test::WriteFileText(dir.File("in/x.fxd"), "not a fax at all");
  Fax("in/\xff\xfe.fxd", {"text-fine-g4"});  // a name that is not UTF-8
  test::CommandResult run = Tamarind("/d=in /sd=out /report=-");
  EXPECT_EQ(run.exitCode, 2);
  // Standard output is the report alone; the human report went to
  // standard error.
  // torn.fxd lost a page: failed here as in the JSON report.
  EXPECT_THAT(Err(), HasSubstr("Total converted FAX files: 4\n"));
  const std::vector<Json> lines = JsonLines(run.output);
  auto objects = FileObjects(lines);
  ASSERT_EQ(objects.size(), 6u);
  const std::string replaced = "\xef\xbf\xbd\xef\xbf\xbd";  // U+FFFD for each stray byte
  std::map<std::string, std::string> expected{{"in/a.fxd", "converted"}, {"in/b.fxs", "converted"},
                                              {"in/f.fxd", "converted"}, {"in/torn.fxd", "failed"},
                                              {"in/x.fxd", "not-fax"},   {"in/" + replaced + ".fxd", "converted"}};
  std::set<std::string> listed;
  int pages = 0;
  for (const auto& [source, object] : objects) {
    EXPECT_EQ(object["status"], expected[source]) << source;
    EXPECT_EQ(object["reason"].is_null(), object["status"] == "converted") << source;
    // Every file takes a moment, measured finer than whole seconds.
    const double seconds = object["seconds"].get<double>();
    EXPECT_GT(seconds, 0) << source;
    EXPECT_NE(seconds, std::floor(seconds)) << source;
    for (const std::string output : object["outputs"]) listed.insert(output);
    pages += object["pages"].get<int>();
  }
  EXPECT_EQ(pages, 1 + 2 + 1 + 3 + 0 + 1);
  EXPECT_EQ(objects["in/torn.fxd"]["missing"], Json::array({2}));
  EXPECT_EQ(objects["in/a.fxd"]["missing"], Json::array());
  // Every listed output is on disk, whole, and nothing else is.
  std::set<std::string> onDisk;
  for (const auto& [name, bytes] : Tree(dir.File("out"))) {
    onDisk.insert("out/" + (name == "\xff\xfe.jpg" ? replaced + ".jpg" : name));
    EXPECT_TRUE(test::IsWholeJpeg(dir.File("out/" + name))) << name;
  }
  EXPECT_EQ(listed, onDisk);
  EXPECT_EQ(lines.back()["summary"], (Json{{"files", 6},
                                           {"converted", 4},
                                           {"skipped", 0},
                                           {"failed", 1},
                                           {"not-fax", 1},
                                           {"seconds", lines.back()["summary"]["seconds"]},
                                           {"complete", true},
                                           {"signal", nullptr}}));

  // A single file that is no WinFax file has its line too, and fails the
  // run.
  test::WriteFileText(dir.File("in/notes.tif"), "tiff");
  EXPECT_EQ(Tamarind("/q /f=in/notes.tif /sf=out/notes.jpg /report=one.jsonl").exitCode, 2);
  EXPECT_THAT(test::ReadFileText(dir.File("log.txt")),
              HasSubstr("Tamarind command line mode : convert file\r\nFailed : in/notes.tif - Not WinFax File\r\n"));
  auto one = FileObjects(JsonLines(test::ReadFileText(dir.File("one.jsonl"))));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one["in/notes.tif"]["status"], "not-fax");
  EXPECT_THAT(one["in/notes.tif"]["reason"].get<std::string>(), HasSubstr("in/notes.tif: not a WinFax file"));
}

TEST_F(AutomationRun, RefusedSwitchesConvertNothing) {
  fs::create_directory(dir.File("folder.lst"));
  test::WriteFileText(dir.File("l.lst"), "a.fxd\n");
  const auto inputs = Tree(dir.File("in"));
  const char* refused[][2] = {
      // The report may replace neither an input nor an output, by any name.
      {"/report=in/a.fxd", "/report=in/a.fxd: names in/a.fxd"},
      {"/report=./in/../in/sub/c.fxd /i", "/report=./in/../in/sub/c.fxd: names in/sub/c.fxd"},
      {"/files-from=l.lst /report=l.lst", "/report=l.lst: names l.lst"},
      {"/report=out/b002.jpg", "/report=out/b002.jpg: an output of in/b.fxs may take its name"},
      {"/report=log.txt", "/report=log.txt: names the log as well"},
      {"/shard=1", "/shard=1"},
      {"/shard=2/2", "/shard=2/2"},
      {"/watch=ten", "/watch=ten"},
      {"/files-from=none.lst", "/files-from=none.lst"},
      {"/files-from=folder.lst", "/files-from=folder.lst"},
      // A list without end is refused at a limit, not read into memory.
      {"/files-from=/dev/zero", "/files-from=/dev/zero: the list is longer than"},
      {"/report=", "/report="},
      {"/watch=5 /files-from=-", "/watch="},
  };
  for (const auto& [switches, named] : refused) {
    test::CommandResult run = Tamarind(std::string("/d=in /sd=out ") + switches);
    EXPECT_EQ(run.exitCode, 64) << switches;
    EXPECT_THAT(Err(), HasSubstr(std::string("tamarind: ") + named)) << switches;
    EXPECT_THAT(Err(), HasSubstr("Usage: tamarind")) << switches;
  }
  EXPECT_EQ(Tamarind("/f=in/a.fxd /sf=out/a.jpg /shard=0/2").exitCode, 64);
  EXPECT_FALSE(test::FileExists(dir.File("out")));
  EXPECT_FALSE(test::FileExists(dir.File("log.txt")));
  EXPECT_TRUE(Tree(dir.File("in")) == inputs);
}

// A list that names files without end is refused at the count a run
// takes, with the limit named, rather than read into memory without end.
TEST_F(AutomationRun, AnEndlessStreamOfNamesIsRefusedWithTheLimitNamed) {
  test::CommandResult run =
      test::RunCommand("yes a.fxd | { " + test::ProgramCommand(dir.Path(), "/files-from=- /sd=out 2>err.txt") + "; }");
  EXPECT_EQ(run.exitCode, 64);
  EXPECT_THAT(Err(), HasSubstr("tamarind: /files-from=-: the list names more than 2,000,000 files"));
  EXPECT_FALSE(test::FileExists(dir.File("out")));
}

// A report longer than memory keeps (a pass of thousands of files) waits
// in a temporary file and reaches the log and standard output whole, in
// order, its line ends as short ones have them, and the file goes with the
// run.
TEST_F(AutomationRun, LongReportsReachTheLogAndTheUserWhole) {
  constexpr int kFiles = 3000;  // about 400 KB of report
  std::string list;
  for (int i = 0; i < kFiles; ++i) list += "gone/f" + std::to_string(i) + ".fxd\n";
  test::WriteFileText(dir.File("list.txt"), list);
  ASSERT_TRUE(platform::MakeFolders(dir.File("tmp")));
  test::CommandResult run =
      test::RunProgram(dir.Path(), "/files-from=list.txt /sd=out /log=log.txt >said.txt 2>err.txt", "TMPDIR=tmp");
  EXPECT_EQ(run.exitCode, 2);
  const std::string said = test::ReadFileText(dir.File("said.txt"));
  const std::string log = test::ReadFileText(dir.File("log.txt"));
  EXPECT_EQ(said.find('\r'), std::string::npos);
  size_t at = 0, logAt = 0;
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = "gone/f" + std::to_string(i) + ".fxd --> ";
    at = said.find(name, at);
    logAt = log.find(name, logAt);
    ASSERT_NE(at, std::string::npos) << "standard output lost " << name;
    ASSERT_NE(logAt, std::string::npos) << "the log lost " << name;
  }
  EXPECT_THAT(said, HasSubstr("Total converted FAX files: 0\n"));
  EXPECT_THAT(log, HasSubstr("Total converted FAX files: 0\r\n"));
  // One entry: its time line first, its dashes last.
  EXPECT_EQ(log.find("--------------------------------------------------"), log.size() - 51);
  EXPECT_TRUE(platform::ListFolder(dir.File("tmp"))->empty());
}

// The program running in the background in |folder|, as a watch or a
// cluster's job does.
class Background {
 public:
  Background(const std::string& folder, const std::string& arguments) {
    const std::string command = test::ProgramCommand(folder, arguments + " </dev/null >/dev/null 2>err.txt", "exec");
    pid_ = fork();
    if (pid_ == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
      _exit(127);
    }
  }
  ~Background() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // Sends |signal|; the exit status as a shell gives it (128 + the signal
  // that ended the program), or -1 when it did not end within |limit|.
  int StopWith(int signal, std::chrono::seconds limit) {
    if (pid_ <= 0) return -1;  // never started, or ended: kill(-1) would reach every process
    kill(pid_, signal);
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
};

// Waits up to |limit| seconds for |done|: the seconds it took, or -1.
double SecondsUntil(const std::function<bool()>& done, double limit) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (done()) return waited;
    if (waited > limit) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

double SecondsUntilExists(const std::string& path, double limit) {
  return SecondsUntil([&] { return test::FileExists(path); }, limit);
}

TEST_F(AutomationRun, WatchConvertsSettledFilesAndEndsCleanlyOnSigterm) {
  ASSERT_TRUE(platform::MakeFolders(dir.File("inbox")));
  Fax("inbox/first.fxd", {"text-fine-g3"});
  Background watch(dir.Path(), "/q /d=inbox /sd=out /watch=1 /report=r.jsonl /log=log.txt");
  ASSERT_GE(SecondsUntilExists(dir.File("out/first.jpg"), 10), 0);  // the first pass

  // Later passes keep the /skip rule: a fax older than its output, as one
  // converted elsewhere, is left alone.
  test::WriteFileText(dir.File("out/old.jpg"), "converted elsewhere");
  Fax("inbox/old.fxd", {"text-fine-g3"});
  const platform::FileTime yesterday{platform::StatusOf(dir.File("inbox/old.fxd"))->modified.seconds - 86400, 0};
  ASSERT_TRUE(platform::SetFileTimes(dir.File("inbox/old.fxd"), yesterday, yesterday));
  Fax("inbox/dropped.fxd", {"text-standard-g4"});
  // A fax still being copied: a part now, more every 0.3 s for 3 s.
  const std::vector<uint8_t> whole = test::ReadFileBytes(dir.File("in/b.fxs"));
  const size_t part = whole.size() / 12;
  std::vector<uint8_t> growing(whole.begin(), whole.begin() + part);
  test::WriteFileBytes(dir.File("inbox/growing.fxd"), growing);
  std::thread copier([&] {
    for (size_t step = 2; step <= 11; ++step) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      test::WriteFileBytes(dir.File("inbox/growing.fxd"),
                           std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(part * step)));
    }
  });
  // Seen new by the next scan, alike by the one after: two periods, plus
  // the conversion and a busy machine's delays.
  const double waited = SecondsUntilExists(dir.File("out/dropped.jpg"), 10);
  copier.join();
  EXPECT_GE(waited, 0);
  EXPECT_LE(waited, 3.5);
  EXPECT_FALSE(test::FileExists(dir.File("out/growing.jpg")));
  EXPECT_FALSE(test::FileExists(dir.File("out/growing001.jpg")));

  EXPECT_EQ(watch.StopWith(SIGTERM, std::chrono::seconds(10)), 0);
  EXPECT_EQ(Names(dir.File("out")), (std::set<std::string>{"dropped.jpg", "first.jpg", "old.jpg"}));
  EXPECT_TRUE(test::ReadFileText(dir.File("out/old.jpg")) == "converted elsewhere") << "converted again";
  // The report holds the last pass that converted something.
  EXPECT_EQ(Statuses(dir.File("r.jsonl")),
            (std::map<std::string, std::string>{{"inbox/dropped.fxd", "converted"}, {"inbox/old.fxd", "skipped"}}));
  const std::string log = test::ReadFileText(dir.File("log.txt"));
  EXPECT_THAT(log, HasSubstr("first.fxd --> "));
  EXPECT_THAT(log, HasSubstr("dropped.fxd --> "));
}

// A fax the watch converted, replaced by an older copy with other pages
// (cp -p, rsync -t): converted again though older than its outputs, and
// the pages it no longer has removed, but only regular files the program
// named for it: the user's own file and a FIFO at a page's name stay.
TEST_F(AutomationRun, WatchConvertsAReplacedFaxAgainAndRemovesThePagesItNoLongerHas) {
  ASSERT_TRUE(platform::MakeFolders(dir.File("inbox")));
  ASSERT_TRUE(platform::MakeFolders(dir.File("out")));
  const auto setBack = [&](const std::string& name, int64_t seconds) {
    const platform::FileTime then{platform::StatusOf(dir.File(name))->modified.seconds - seconds, 0};
    ASSERT_TRUE(platform::SetFileTimes(dir.File(name), then, then));
  };
  Fax("inbox/x.fxd", {"text-fine-g3", "text-standard-g4", "text-fine-g4"});
  setBack("inbox/x.fxd", 600);  // settled: in the first pass
  test::WriteFileText(dir.File("out/x.txt.jpg"), "the user's own");
  Background watch(dir.Path(), "/q /d=inbox /sd=out /watch=1 /log=log.txt");
  ASSERT_GE(SecondsUntilExists(dir.File("out/x003.jpg"), 10), 0);
  const std::vector<uint8_t> firstPage = test::ReadFileBytes(dir.File("out/x001.jpg"));

  Fax("inbox/x.fxd", {"text-standard-g3", "text-fine-g3"});
  setBack("inbox/x.fxd", 3600);  // older than every output
  EXPECT_GE(SecondsUntil([&] { return !test::FileExists(dir.File("out/x003.jpg")); }, 10), 0) << "x003.jpg stays";
  EXPECT_TRUE(test::ReadFileBytes(dir.File("out/x001.jpg")) != firstPage) << "not converted again";
  EXPECT_TRUE(test::IsWholeJpeg(dir.File("out/x002.jpg")));

  ASSERT_EQ(unlink(dir.File("out/x002.jpg").c_str()), 0);
  ASSERT_EQ(mkfifo(dir.File("out/x002.jpg").c_str(), 0600), 0);
  Fax("inbox/x.fxd", {"text-fine-g4"});
  setBack("inbox/x.fxd", 7200);
  EXPECT_GE(SecondsUntil([&] { return !test::FileExists(dir.File("out/x001.jpg")); }, 10), 0) << "x001.jpg stays";
  EXPECT_EQ(watch.StopWith(SIGTERM, std::chrono::seconds(10)), 0);
  EXPECT_EQ(Names(dir.File("out")), (std::set<std::string>{"x.jpg", "x.txt.jpg"}));
  EXPECT_TRUE(test::IsWholeJpeg(dir.File("out/x.jpg")));
  struct stat fifo {};
  EXPECT_EQ(lstat(dir.File("out/x002.jpg").c_str(), &fifo), 0);
  EXPECT_TRUE(S_ISFIFO(fifo.st_mode));
  const std::string log = test::ReadFileText(dir.File("log.txt"));
  EXPECT_THAT(log, HasSubstr("Removed : out/x003.jpg"));
  EXPECT_THAT(log, HasSubstr("Not removed : out/x002.jpg: is not a regular file"));
}

// A folder run stopped by SIGTERM part-way, as a cancelled cluster job is:
// it ends with the signal's status, its report and log say that it was
// interrupted and how far it got, and a rerun with /skip converts exactly
// the files it had not done.
TEST_F(AutomationRun, SigtermedRunSaysItIsIncompleteAndSkipFinishesIt) {
  constexpr int kFaxes = 60;  // the signal comes after the first, long before the last
  const std::vector<uint8_t> fax = test::ReadFileBytes(dir.File("in/a.fxd"));
  ASSERT_TRUE(platform::MakeFolders(dir.File("many")));
  for (int i = 0; i < kFaxes; ++i) test::WriteFileBytes(dir.File("many/f" + std::to_string(100 + i) + ".fxd"), fax);
  {
    Background first(dir.Path(), "/q /j=2 /d=many /sd=out /report=r.jsonl /log=log.txt");
    ASSERT_GE(SecondsUntilExists(dir.File("out/f100.jpg"), 10), 0);
    EXPECT_EQ(first.StopWith(SIGTERM, std::chrono::seconds(10)), 128 + SIGTERM);
  }
  const std::vector<Json> lines = JsonLines(test::ReadFileText(dir.File("r.jsonl")));
  const auto done = FileObjects(lines);
  const Json summary = lines.back()["summary"];
  EXPECT_EQ(summary["complete"], false);
  EXPECT_EQ(summary["signal"], "SIGTERM");
  ASSERT_GT(done.size(), 0u);
  ASSERT_LT(done.size(), size_t{kFaxes});
  // The files done are whole on disk, and nothing else is.
  std::set<std::string> listed, onDisk;
  for (const auto& [source, object] : done) {
    EXPECT_EQ(object["status"], "converted") << source;
    for (const std::string output : object["outputs"]) listed.insert(output);
  }
  for (const auto& [name, bytes] : Tree(dir.File("out"))) {
    onDisk.insert("out/" + name);
    EXPECT_TRUE(test::IsWholeJpeg(dir.File("out/" + name))) << name;
  }
  EXPECT_EQ(listed, onDisk);
  EXPECT_THAT(test::ReadFileText(dir.File("log.txt")),
              HasSubstr("\r\nInterrupted by SIGTERM: " + std::to_string(done.size()) + " of " + std::to_string(kFaxes) +
                        " files done\r\n"));

  ASSERT_EQ(Tamarind("/q /j=2 /d=many /sd=out /skip /report=r.jsonl").exitCode, 0);
  const std::vector<Json> again = JsonLines(test::ReadFileText(dir.File("r.jsonl")));
  size_t converted = 0;
  for (const auto& [source, object] : FileObjects(again)) {
    EXPECT_EQ(object["status"], done.contains(source) ? "skipped" : "converted") << source;
    converted += object["status"] == "converted";
  }
  EXPECT_EQ(converted, kFaxes - done.size());
  EXPECT_EQ(again.back()["summary"]["complete"], true);
  EXPECT_EQ(again.back()["summary"]["signal"], nullptr);
  EXPECT_EQ(Tree(dir.File("out")).size(), size_t{kFaxes});
}

// docs/scale.md's GNU parallel example, run here with one machine file
// entry ":" (this machine, no ssh): shards as jobs, a joblog, and a rerun of
// the failed job that /skip keeps to what is missing.
TEST_F(AutomationRun, GnuParallelExampleRunsAndRerunsFailedShards) {
  const std::vector<uint8_t> good = test::ReadFileBytes(dir.File("in/sub/c.fxd"));
  test::WriteFileText(dir.File("in/sub/c.fxd"), "torn in transfer");
  test::WriteFileText(dir.File("machines"), "1/:\n");
  const std::string shards = "cd " + ShellQuote(dir.Path()) + " && export N=3 HOME=" + ShellQuote(dir.Path()) +
                             " PATH=" + ShellQuote(test::BinaryDir()) + ":$PATH && ";
  const std::string command =
      "seq 0 $((N - 1)) | parallel --will-cite --sshloginfile machines --joblog convert.joblog "
      "tamarind /q /d=in /i /kh /sd=jpeg /skip /shard={}/$N /report=reports/shard-{}.jsonl /log=log.txt";
  // One shard fails: parallel's status counts the failed jobs.
  EXPECT_EQ(test::RunCommand(shards + command + " 2>/dev/null").exitCode, 1);
  ASSERT_EQ(Tree(dir.File("jpeg")).size(), 7u);

  test::WriteFileBytes(dir.File("in/sub/c.fxd"), good);
  EXPECT_EQ(
      test::RunCommand(shards + "parallel --will-cite --retry-failed --joblog convert.joblog 2>/dev/null").exitCode, 0);
  // The rerun converted the mended fax; the rest of its shard was skipped.
  std::map<std::string, std::string> statuses;
  for (int shard = 0; shard < 3; ++shard) {
    const auto own = Statuses(dir.File("reports/shard-" + std::to_string(shard) + ".jsonl"));
    for (const auto& [source, status] : own) {
      statuses[source] = status;
      EXPECT_TRUE(!own.contains("in/sub/c.fxd") || source == "in/sub/c.fxd" || status == "skipped") << source;
    }
  }
  EXPECT_EQ(statuses.size(), 6u);
  EXPECT_EQ(statuses["in/sub/c.fxd"], "converted");
  ASSERT_EQ(Tamarind("/q /d=in /i /kh /sd=single").exitCode, 0);
  EXPECT_TRUE(Tree(dir.File("jpeg")) == Tree(dir.File("single")));
}

}  // namespace
}  // namespace tamarind
