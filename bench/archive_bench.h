// The benchmark archive shared by the archive benchmarks: a folder of
// WinFax files made from the real test pages, and the timing both use.
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/fax_files.h"
#include "support/real_pages.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind::bench {

namespace fs = std::filesystem;
using test::RealPage;

// Bump when the recipe changes, so a stale folder is not reused.
inline constexpr const char* kArchiveFolder = "/benchdata/archive-v1";
inline constexpr int kFiles = 80;

// Mostly text, as fax archives are, with some halftone and wide pages.
inline constexpr const char* kPageCycle[] = {
    "text-standard-g3",    "text-fine-g4", "text-standard-g4", "text-fine-g3", "wide-g3",
    "text-fine-g3-align8", "halftone-g4",  "text-standard-g3", "text-fine-g4", "wide-g4",
    "text-standard-g4",    "halftone-g3",  "text-fine-g3",
};
inline constexpr size_t kCycleLength = sizeof kPageCycle / sizeof kPageCycle[0];

struct ArchiveFile {
  std::string name;
  std::vector<const RealPage*> pages;
};

// File k holds 1 to 5 pages, taken in turn from the cycle: 240 pages.
inline std::vector<ArchiveFile> Recipe() {
  std::vector<ArchiveFile> files;
  size_t next = 0;
  static const char* const kExtensions[] = {".fxd", ".fxs", ".fxr", ".fxm"};
  for (int k = 0; k < kFiles; ++k) {
    ArchiveFile file;
    char name[32];
    std::snprintf(name, sizeof name, "fax%04d%s", k, kExtensions[k % 4]);
    file.name = name;
    for (int p = 0; p <= k % 5; ++p) file.pages.push_back(&test::RealPageNamed(kPageCycle[next++ % kCycleLength]));
    files.push_back(std::move(file));
  }
  return files;
}

inline std::string ArchivePath() { return test::BinaryDir() + kArchiveFolder; }

// Writes the WinFax files and each distinct raw page (for the pipeline)
// into a private folder, then renames it into place.
inline void MakeArchive(const std::vector<ArchiveFile>& files) {
  const std::string folder = ArchivePath();
  if (fs::exists(folder)) return;
  const std::string scratch = folder + ".tmp-" + std::to_string(getpid());
  fs::remove_all(scratch);
  fs::create_directories(scratch + "/fax");
  fs::create_directories(scratch + "/raw");
  for (const ArchiveFile& file : files) {
    std::vector<tools::WinFaxPageLayout> layouts;
    for (const RealPage* page : file.pages) layouts.push_back(test::WinFaxPageOf(*page));
    std::string error;
    if (!tools::WriteWinFaxFile(scratch + "/fax/" + file.name, layouts, &error)) throw std::runtime_error(error);
  }
  for (const RealPage& page : test::RealPages())
    test::WriteFileBytes(scratch + "/raw/" + page.name + ".fax", page.coded);
  fs::rename(scratch, folder);
}

// Processor seconds of this process and its waited-for children.
inline double CpuSeconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage usage{};
    getrusage(who, &usage);
    total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
             static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  return total;
}

struct Timing {
  double wall = 1e30;  // seconds, best run
  double cpu = 1e30;   // processor seconds, best run
};

// The best of |repeat| runs, each into a new empty folder under |out|
// (removed afterwards, outside the timing): a run over old outputs would
// pay for deleting them. Processor time is what a run costs whatever else
// the machine is doing; wall time is what the user waits for.
inline Timing Best(int repeat, const std::string& out, const std::function<void(const std::string& folder)>& run) {
  Timing best;
  for (int i = 0; i < repeat; ++i) {
    const std::string folder = out + "/run";
    fs::remove_all(folder);
    fs::create_directories(folder);
    sync();
    const double cpuStart = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    run(folder);
    best.wall = std::min(best.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    best.cpu = std::min(best.cpu, CpuSeconds() - cpuStart);
  }
  return best;
}

inline int IntOption(int argc, char** argv, const std::string& name, int fallback) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.starts_with(name + "=")) return std::atoi(arg.c_str() + name.size() + 1);
  }
  return fallback;
}

}  // namespace tamarind::bench
