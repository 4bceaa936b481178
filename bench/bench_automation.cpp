// What running Tamarind from scripts and clusters costs besides converting:
//   file list    reading a list of 100,000 paths, and the memory it holds
//   watch scan   one rescan of a folder of 100,000 unchanged files, and the
//                memory across ten rescans
//   skip rerun   the program rerun with /skip over a converted archive of
//                10,000 files (80 faxes of the benchmark archive, 125 times)
//   overhead     the program with /files-from= and /report= on the benchmark
//                archive with one worker: its wall time beyond the time spent
//                on the files, which the report itself gives
//   files        peak memory of the whole program against the number of
//                files: a folder run of a list of 1,000,000 files (none
//                there, each failed with its line and its JSON object), and
//                walks of 2,000 and 20,000 files (one-byte .fxd files, each
//                read and failed as not a fax); --files runs this alone
// The folders are made once under build/benchdata/; the benchmark archive
// comes from bench_archive, which must have run once.
//
// Usage: bench_automation [--repeat=N] [--files]   (best of N runs, default 3)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "batch/convert_folder.h"
#include "batch/file_list.h"
#include "batch/folder_watch.h"
#include "convert/conversion_job.h"
#include "convert/process.h"
#include "platform/memory.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;

constexpr int kListEntries = 100000;
constexpr int kWatchedFiles = 100000;
constexpr int kSkipCopies = 125;  // of the 80 archive files: 10,000

std::string BenchData() { return std::string(TAMARIND_BINARY_DIR) + "/benchdata"; }
std::string ArchiveFaxes() { return BenchData() + "/archive-v1/fax"; }
std::string Program() { return std::string(TAMARIND_BINARY_DIR) + "/tamarind"; }

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Best(int repeat, const std::function<void()>& work) {
  double best = 1e30;
  for (int i = 0; i < repeat; ++i) best = std::min(best, Seconds(work));
  return best;
}

// VmRSS or VmHWM of this process, in KiB.
long MemoryKb(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with(field)) return std::atol(line.c_str() + std::string(field).size() + 1);
  return 0;
}

// Runs |command| with its standard output dropped.
void Run(const std::string& command) {
  if (std::system((command + " >/dev/null").c_str()) != 0) throw std::runtime_error("failed: " + command);
}

// Made in a scratch name, then renamed into place, so an interrupted set-up
// is never taken for a finished one.
void MakeOnce(const std::string& folder, const std::function<void(const std::string& scratch)>& make) {
  if (fs::exists(folder)) return;
  const std::string scratch = folder + ".tmp-" + std::to_string(getpid());
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  make(scratch);
  fs::rename(scratch, folder);
}

// ---- file list --------------------------------------------------------------

void FileList(int repeat) {
  const std::string list = BenchData() + "/list-100k.txt";
  if (!fs::exists(list)) {
    std::ofstream out(list + ".tmp");
    for (int i = 0; i < kListEntries; ++i)
      out << "scans/" << 2000 + i / 5000 << "/batch" << i / 100 << "/fax" << i << ".fxd\n";
    out.close();
    fs::rename(list + ".tmp", list);
  }
  const long before = MemoryKb("VmRSS:");
  auto listed = tamarind::ReadFileList(list, "");
  if (!listed) throw std::runtime_error(listed.reason());
  std::vector<std::string> held = std::move(*listed);
  const long holding = MemoryKb("VmRSS:");
  const double seconds = Best(repeat, [&] { held = *tamarind::ReadFileList(list, ""); });
  const long settled = MemoryKb("VmRSS:");
  std::string growth;
  for (int i = 0; i < 5; ++i) {
    held = *tamarind::ReadFileList(list, "");
    growth += " " + std::to_string(MemoryKb("VmRSS:") - settled);
  }
  std::printf("file list: %zu entries (%.1f MB) read in %.3f s; the first read leaves %+.1f MB resident "
              "(%.0f bytes per entry); resident change over 5 more reads (KiB):%s\n",
              held.size(), static_cast<double>(fs::file_size(list)) / 1e6, seconds,
              static_cast<double>(holding - before) / 1024, static_cast<double>(holding - before) * 1024 / held.size(),
              growth.c_str());

  // The whole program on the list: start, read, shard, and the one or two
  // files of the shard, which are not there.
  const std::string scratch = BenchData() + "/list-run-" + std::to_string(getpid());
  const std::string peak = scratch + ".peak";
  const double run = Best(repeat, [&] {
    std::system(("/usr/bin/time -f %M -o '" + peak + "' '" + Program() + "' /q /files-from='" + list + "' /sd='" +
                 scratch + "' /shard=7/100000 /log=/dev/null >/dev/null 2>&1")
                    .c_str());
  });
  // time writes a line about the exit status (2: the listed files are not
  // there) before the figure.
  long peakKb = 0;
  std::ifstream peakText(peak);
  for (std::string word; peakText >> word;) peakKb = std::atol(word.c_str());
  fs::remove(peak);
  fs::remove_all(scratch);
  std::printf("file list, whole program with /shard=7/100000: %.3f s, peak resident %.1f MB\n", run,
              static_cast<double>(peakKb) / 1024);
}

// ---- watch scan -------------------------------------------------------------

void WatchScan(int repeat) {
  const std::string folder = BenchData() + "/watch-100k-v1";
  MakeOnce(folder, [](const std::string& scratch) {
    for (int d = 0; d < kWatchedFiles / 1000; ++d) {
      const std::string sub = scratch + "/day" + std::to_string(d);
      fs::create_directory(sub);
      for (int f = 0; f < 1000; ++f) std::ofstream(sub + "/fax" + std::to_string(f) + ".fxd") << "x";
    }
  });
  tamarind::ConversionJob job;
  job.Reset();
  job.options.source = folder;
  auto scan = [&] {
    job.files.clear();
    CollectFiles(job, folder, true);
    return std::move(job.files);
  };
  tamarind::FolderWatch watch;
  {
    std::vector<std::string> files = scan();
    (void)watch.Start(folder, std::move(files), std::chrono::milliseconds(0));
  }
  size_t ready = 0;
  auto rescan = [&] { ready += watch.Ready(folder, scan()).files.size(); };
  const double walk = Best(repeat, [&] { (void)scan(); });
  const double seconds = Best(repeat, rescan);
  const long before = MemoryKb("VmRSS:");
  for (int i = 0; i < 10; ++i) rescan();
  const long after = MemoryKb("VmRSS:");
  std::printf("watch scan: %zu unchanged files rescanned in %.3f s (the walk alone %.3f s); %zu handed on; "
              "resident across 10 more rescans %+ld KiB\n",
              watch.Known(), seconds, walk, ready, after - before);
}

// ---- skip rerun -------------------------------------------------------------

// The archive's faxes 125 times, with the outputs of one conversion beside
// each copy (hard links: the same bytes and times), so that every output
// is newer than its fax.
std::string ConvertedArchive() {
  const std::string folder = BenchData() + "/skip-10k-v1";
  MakeOnce(folder, [](const std::string& scratch) {
    const std::string once = scratch + "/once";
    Run("'" + Program() + "' /q /d='" + ArchiveFaxes() + "' /sd='" + once + "' /log=/dev/null");
    for (int copy = 0; copy < kSkipCopies; ++copy) {
      const std::string name = "/copy" + std::to_string(copy);
      fs::create_directories(scratch + "/fax" + name);
      fs::create_directories(scratch + "/jpeg" + name);
      for (const auto& entry : fs::directory_iterator(ArchiveFaxes()))
        fs::create_hard_link(entry.path(), scratch + "/fax" + name + "/" + entry.path().filename().string());
      for (const auto& entry : fs::directory_iterator(once))
        fs::create_hard_link(entry.path(), scratch + "/jpeg" + name + "/" + entry.path().filename().string());
    }
  });
  return folder;
}

nlohmann::json Summary(const std::string& report) {
  std::ifstream in(report);
  std::string line, last;
  while (std::getline(in, line))
    if (!line.empty()) last = line;
  return nlohmann::json::parse(last).at("summary");
}

void SkipRerun(int repeat, const std::string& scratch) {
  const std::string folder = ConvertedArchive();
  for (const char* workers : {"/j=1", "/j=0"}) {
    const std::string report = scratch + "/skip.jsonl";
    const double seconds = Best(repeat, [&] {
      Run("'" + Program() + "' /q " + workers + " /d='" + folder + "/fax' /i /kh /sd='" + folder +
          "/jpeg' /skip /report='" + report + "' /log=/dev/null");
    });
    const nlohmann::json summary = Summary(report);
    if (summary.at("skipped") != kSkipCopies * 80) throw std::runtime_error("not all skipped: " + summary.dump());
    std::printf("skip rerun %s: %d files skipped in %.3f s (%.0f us per file), program start to end\n", workers,
                summary.at("skipped").get<int>(), seconds, seconds / summary.at("skipped").get<double>() * 1e6);
  }
}

// ---- overhead -----------------------------------------------------------------

void Overhead(int repeat, const std::string& scratch) {
  const std::string list = scratch + "/archive.list";
  {
    std::ofstream out(list, std::ios::binary);
    for (const auto& entry : fs::directory_iterator(ArchiveFaxes())) out << entry.path().filename().string() << '\0';
  }
  const std::string report = scratch + "/overhead.jsonl";
  // The run whose share beyond the files is smallest: other load on the
  // machine only ever adds to it.
  double wall = 0, onFiles = 0;
  int files = 0;
  for (int i = 0; i < repeat; ++i) {
    fs::remove_all(scratch + "/out");
    const double seconds = Seconds([&] {
      Run("'" + Program() + "' /q /j=1 /files-from='" + list + "' /d='" + ArchiveFaxes() + "' /sd='" + scratch +
          "/out' /report='" + report + "' /log='" + scratch + "/log.txt'");
    });
    double sum = 0;
    int count = 0;
    std::ifstream in(report);
    for (std::string line; std::getline(in, line);) {
      const nlohmann::json object = nlohmann::json::parse(line);
      if (object.contains("source")) {
        sum += object["seconds"].get<double>();
        ++count;
      }
    }
    if (i == 0 || (seconds - sum) / sum < (wall - onFiles) / onFiles) {
      wall = seconds;
      onFiles = sum;
      files = count;
    }
  }
  std::printf("overhead: %d files with /j=1 /files-from= /report=: %.3f s in all, %.3f s on the files; "
              "the rest (start, list, report, log) %.3f s = %.1f%% of the conversion time (%.2f ms per file)\n",
              files, wall, onFiles, wall - onFiles, (wall - onFiles) / onFiles * 100, (wall - onFiles) / files * 1e3);
}

// ---- memory in the number of files -----------------------------------------

// The program's peak resident set in KiB, run with |arguments|, its output
// and standard error dropped (its exit status says the files failed).
long ProgramPeakKb(const std::string& arguments, const std::string& scratch) {
  const std::string peak = scratch + "/peak.txt";
  (void)std::system(
      ("/usr/bin/time -f %M -o '" + peak + "' '" + Program() + "' " + arguments + " >/dev/null 2>&1").c_str());
  long peakKb = 0;
  std::ifstream peakText(peak);
  for (std::string word; peakText >> word;) peakKb = std::atol(word.c_str());
  return peakKb;
}

void FilesMemory(const std::string& scratch) {
  const std::string list = BenchData() + "/list-1m.txt";
  if (!fs::exists(list)) {
    std::ofstream out(list + ".tmp");
    for (int i = 0; i < 1'000'000; ++i)
      out << "scans/" << 2000 + i / 50000 << "/batch" << i / 100 << "/fax" << i << ".fxd\n";
    out.close();
    fs::rename(list + ".tmp", list);
  }
  const auto start = std::chrono::steady_clock::now();
  const long listedKb = ProgramPeakKb("/q /j=2 /files-from='" + list + "' /d='" + scratch + "/none' /sd='" + scratch +
                                          "/out' /report='" + scratch + "/r.jsonl' /log='" + scratch + "/log.txt'",
                                      scratch);
  const double listedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "files: a folder run of 1,000,000 listed files: peak resident %.1f MB (%.0f s; report %.0f MB, log %.0f MB)\n",
      static_cast<double>(listedKb) / 1024, listedSeconds,
      static_cast<double>(fs::file_size(scratch + "/r.jsonl")) / 1e6,
      static_cast<double>(fs::file_size(scratch + "/log.txt")) / 1e6);
  fs::remove(scratch + "/r.jsonl");
  fs::remove(scratch + "/log.txt");
  long walkKb[2] = {};
  const int counts[2] = {2000, 20000};
  for (int i = 0; i < 2; ++i) {
    const std::string folder = BenchData() + "/walk-" + std::to_string(counts[i]) + "-v1";
    MakeOnce(folder, [&](const std::string& made) {
      for (int d = 0; d < counts[i] / 1000; ++d) {
        const std::string sub = made + "/day" + std::to_string(d);
        fs::create_directory(sub);
        for (int f = 0; f < 1000; ++f) std::ofstream(sub + "/fax" + std::to_string(f) + ".fxd") << "x";
      }
    });
    walkKb[i] = ProgramPeakKb(
        "/q /j=2 /d='" + folder + "' /i /sd='" + scratch + "/out' /report='" + scratch + "/r.jsonl' /log=/dev/null",
        scratch);
    fs::remove(scratch + "/r.jsonl");
  }
  std::printf("files: a walk of 2,000 files: peak resident %.1f MB; of 20,000: %.1f MB (%+.1f MB)\n",
              static_cast<double>(walkKb[0]) / 1024, static_cast<double>(walkKb[1]) / 1024,
              static_cast<double>(walkKb[1] - walkKb[0]) / 1024);
}

int IntOption(int argc, char** argv, const std::string& name, int fallback) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.starts_with(name + "=")) return std::atoi(arg.c_str() + name.size() + 1);
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) try {
  // The heap behaves as in the program, whose start sets the same limits.
  tamarind::platform::ReturnFreedPageMemory();
  const int repeat = std::max(1, IntOption(argc, argv, "--repeat", 3));
  const bool filesOnly = argc > 1 && std::string(argv[argc - 1]) == "--files";
  tamarind::processPaths.tempFolder = tamarind::platform::TempFolder();
  const std::string scratch = BenchData() + "/automation-" + std::to_string(getpid());
  fs::create_directories(scratch);
  FilesMemory(scratch);
  if (filesOnly) {
    fs::remove_all(scratch);
    return 0;
  }
  if (!fs::exists(ArchiveFaxes())) {
    std::fprintf(stderr, "bench_automation: %s is missing: run bench_archive once first (it builds it)\n",
                 ArchiveFaxes().c_str());
    return 1;
  }
  std::printf("best of %d runs\n", repeat);
  FileList(repeat);
  WatchScan(repeat);
  SkipRerun(repeat, scratch);
  Overhead(repeat, scratch);
  fs::remove_all(scratch);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_automation: %s\n", e.what());
  return 1;
}
