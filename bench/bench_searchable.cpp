// Searchable PDFs: what the program writes against what a user would
// otherwise script, on the same pages, and one large fax on one core
// against two.
//
//   corpus       three faxes of the groff manual page's six pages (as the
//                tests make them): fine, standard, and fine fed in upside
//                down; 18 pages, Group 4
//   tamarind     the program's folder run, /fmt=pdf /ocr, /j=1 and /j=2
//   peers        per fax, its lossless TIFF (the program's /fmt=tif, not
//                timed) through img2pdf, then ocrmypdf (PDF/A-2b, its
//                defaults) with --jobs 1 and 2, as a user would script it;
//                skipped with a message when img2pdf or ocrmypdf is missing
//                (Debian packages img2pdf and ocrmypdf)
//   single fax   one fax of 20 fine and standard pages, one file (/f= /sf=)
//                /fmt=pdf /ocr, /j=1 against /j=2 (and ocrmypdf --jobs 1
//                against 2 on the same pages)
//
// For each: bytes written, pages per second, processor seconds of the
// programs run (this process's children) and the load average when the
// run started, since the machine may be shared; word recall of each PDF's
// text (pdftotext) against the words the pages were set from. Checks that
// /j=1 and /j=2 give the same bytes.
//
// Usage: bench_searchable [--repeat=N] [--no-peers]
//   --repeat    runs per measurement, the best counts (default 2)
//   --no-peers  leave img2pdf + ocrmypdf out
#include <sys/resource.h>
#include <sys/wait.h>
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

#include "codec/tiff/group4.h"
#include "support/document_pages.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace {

namespace fs = std::filesystem;
using tamarind::test::Bitmap;
using tamarind::test::DocumentPages;
using tamarind::test::ShellQuote;

// Bump when the recipe changes, so a stale corpus is not reused.
constexpr const char* kCorpusFolder = "/benchdata/searchable-v1";

std::string CorpusPath() { return std::string(TAMARIND_BINARY_DIR) + kCorpusFolder; }
std::string Program() { return ShellQuote(std::string(TAMARIND_BINARY_DIR) + "/tamarind"); }

// ---- The corpus -------------------------------------------------------------

struct CorpusPage {
  size_t document_page = 0;  // index into DocumentPages()
  bool fine = true;
  bool upside_down = false;
};

struct CorpusFax {
  std::string name;
  std::vector<CorpusPage> pages;
};

std::vector<CorpusFax> Faxes() {
  CorpusFax fine{"fine.fxd", {}}, standard{"standard.fxd", {}}, turned{"turned.fxd", {}};
  for (size_t i = 0; i < DocumentPages().size(); ++i) {
    fine.pages.push_back({i, true, false});
    standard.pages.push_back({i, false, false});
    turned.pages.push_back({i, true, true});
  }
  return {fine, standard, turned};
}

// 20 pages: the six fine, the six standard, the six fine again and the
// first two standard.
CorpusFax SingleFax() {
  CorpusFax fax{"single.fxd", {}};
  const size_t pages = DocumentPages().size();
  for (size_t i = 0; fax.pages.size() < 20; ++i) fax.pages.push_back({i % pages, (i / pages) % 2 == 0, false});
  return fax;
}

tamarind::tools::WinFaxPageLayout Coded(const CorpusPage& page) {
  const tamarind::test::DocumentPage& source = DocumentPages().at(page.document_page);
  const Bitmap& bitmap = page.fine ? source.fine : source.standard;
  const Bitmap shown = page.upside_down ? tamarind::test::Rotated180(bitmap) : bitmap;
  auto coded = tamarind::EncodeGroup4(tamarind::test::FaxPageOf(shown, page.fine));
  if (!coded) throw std::runtime_error(coded.reason());
  tamarind::tools::WinFaxPageLayout layout;
  layout.coded = std::move(*coded);
  layout.msb_first = true;
  layout.group4 = true;
  layout.resolution_code = page.fine ? 1 : 0;
  layout.width = static_cast<uint16_t>(shown.width);
  layout.length = static_cast<uint16_t>(shown.height);
  layout.text = "Benchmark corpus";
  return layout;
}

void WriteFax(const std::string& path, const CorpusFax& fax) {
  std::vector<tamarind::tools::WinFaxPageLayout> layouts;
  for (const CorpusPage& page : fax.pages) layouts.push_back(Coded(page));
  std::string error;
  if (!tamarind::tools::WriteWinFaxFile(path, layouts, &error)) throw std::runtime_error(error);
}

// faxes/ holds the three corpus faxes, single/ the large one.
void MakeCorpus() {
  const std::string folder = CorpusPath();
  if (fs::exists(folder)) return;
  const std::string scratch = folder + ".tmp-" + std::to_string(getpid());
  fs::remove_all(scratch);
  fs::create_directories(scratch + "/faxes");
  fs::create_directories(scratch + "/single");
  for (const CorpusFax& fax : Faxes()) WriteFax(scratch + "/faxes/" + fax.name, fax);
  WriteFax(scratch + "/single/" + SingleFax().name, SingleFax());
  fs::rename(scratch, folder);
}

// ---- Running and timing -----------------------------------------------------

void Run(const std::string& command) {
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("failed (" + std::to_string(status) + "): " + command);
}

bool Installed(const char* tool) {
  return std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) == 0;
}

double ChildCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double load = 0;
  in >> load;
  return load;
}

struct Timing {
  double wall = 1e30;  // seconds, best run
  double cpu = 1e30;   // processor seconds of that run's programs
  double load = 0;     // one-minute load average when the best run started
};

// The best of |repeat| runs of |run| into an empty |folder|.
Timing Best(int repeat, const std::string& folder, const std::function<void(const std::string&)>& run) {
  Timing best;
  for (int i = 0; i < repeat; ++i) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const double load = LoadAverage();
    const double cpu = ChildCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    run(folder);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (wall < best.wall) best = Timing{wall, ChildCpuSeconds() - cpu, load};
  }
  return best;
}

int64_t PdfBytes(const std::string& folder) {
  int64_t bytes = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".pdf") bytes += static_cast<int64_t>(entry.file_size());
  return bytes;
}

// Word recall of the PDFs in |folder| (named after the corpus faxes), page
// by page against the words each page was set from.
double Recall(const std::string& folder, const std::vector<CorpusFax>& faxes) {
  double found = 0, wanted = 0;
  for (const CorpusFax& fax : faxes) {
    const std::string pdf = folder + "/" + fs::path(fax.name).stem().string() + ".pdf";
    for (size_t i = 0; i < fax.pages.size(); ++i) {
      const std::string page = std::to_string(i + 1);
      const tamarind::test::CommandResult text =
          tamarind::test::RunCommand("pdftotext -f " + page + " -l " + page + " " + ShellQuote(pdf) + " - 2>/dev/null");
      if (text.exitCode != 0) throw std::runtime_error("pdftotext failed on " + pdf);
      const std::string& source = DocumentPages().at(fax.pages[i].document_page).text;
      const double words = static_cast<double>(tamarind::test::RecallWords(source).size());
      found += words * tamarind::test::WordRecall(source, text.output);
      wanted += words;
    }
  }
  return wanted == 0 ? 1 : found / wanted;
}

size_t PageCount(const std::vector<CorpusFax>& faxes) {
  size_t pages = 0;
  for (const CorpusFax& fax : faxes) pages += fax.pages.size();
  return pages;
}

// ---- The measurements -------------------------------------------------------

struct Result {
  std::string name;
  Timing timing;
  int64_t bytes = 0;
  double recall = -1;
};

void Print(const Result& r, size_t pages) {
  std::printf("%-34s %6.2f pages/s  %7.1f s  %7.1f processor s  load %4.1f  %10lld bytes", r.name.c_str(),
              static_cast<double>(pages) / r.timing.wall, r.timing.wall, r.timing.cpu, r.timing.load,
              static_cast<long long>(r.bytes));
  if (r.recall >= 0) std::printf("  recall %6.2f%%", 100 * r.recall);
  std::printf("\n");
}

std::string Tamarind(const std::string& switches) {
  return Program() + " /q /log=/dev/null " + switches + " >/dev/null";
}

// Per fax of |faxes| in |source|: its TIFF into |folder|/tif (not timed
// here), then img2pdf and ocrmypdf into |folder|.
void MakePeerTiffs(const std::string& source, const std::string& tiffs) {
  fs::create_directories(tiffs);
  Run(Tamarind("/d=" + ShellQuote(source) + " /sd=" + ShellQuote(tiffs) + " /fmt=tif"));
}

void RunPeers(const std::string& tiffs, const std::vector<CorpusFax>& faxes, const std::string& folder, int jobs) {
  for (const CorpusFax& fax : faxes) {
    const std::string stem = fs::path(fax.name).stem().string();
    const std::string images = folder + "/" + stem + ".images";
    Run("img2pdf -o " + ShellQuote(images) + " " + ShellQuote(tiffs + "/" + stem + ".tif"));
    Run("ocrmypdf -q -l eng --jobs " + std::to_string(jobs) + " " + ShellQuote(images) + " " +
        ShellQuote(folder + "/" + stem + ".pdf"));
    fs::remove(images);
  }
}

bool SameBytes(const std::string& a, const std::string& b) {
  return tamarind::test::ReadFileBytes(a) == tamarind::test::ReadFileBytes(b);
}

}  // namespace

int main(int argc, char** argv) try {
  // A run takes many minutes: each line as soon as it is known, also into a file.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  int repeat = 2;
  bool peers = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.starts_with("--repeat=")) repeat = std::max(1, std::atoi(arg.c_str() + 9));
    else if (arg == "--no-peers") peers = false;
    else throw std::runtime_error("unknown option " + arg);
  }
  MakeCorpus();
  const std::string corpus = CorpusPath();
  const std::string work = std::string(TAMARIND_BINARY_DIR) + "/benchdata/searchable-run-" + std::to_string(getpid());
  const std::vector<CorpusFax> faxes = Faxes();
  const size_t pages = PageCount(faxes);
  if (peers && (!Installed("img2pdf") || !Installed("ocrmypdf"))) {
    std::printf("img2pdf or ocrmypdf is not installed (Debian packages img2pdf, ocrmypdf): no comparison\n");
    peers = false;
  }
  std::printf("corpus: %zu faxes, %zu pages (fine, standard, fine upside down); best of %d runs\n", faxes.size(), pages,
              repeat);

  std::vector<Result> corpusResults;
  for (int jobs : {1, 2}) {
    Result r{"tamarind /fmt=pdf /ocr /j=" + std::to_string(jobs), {}, 0, -1};
    r.timing = Best(repeat, work + "/ours", [&](const std::string& out) {
      Run(Tamarind("/d=" + ShellQuote(corpus + "/faxes") + " /sd=" + ShellQuote(out) +
                   " /fmt=pdf /ocr /j=" + std::to_string(jobs)));
    });
    r.bytes = PdfBytes(work + "/ours");
    r.recall = Recall(work + "/ours", faxes);
    corpusResults.push_back(r);
  }
  Result images{"tamarind /fmt=pdf (no text)", {}, 0, -1};
  images.timing = Best(1, work + "/images", [&](const std::string& out) {
    Run(Tamarind("/d=" + ShellQuote(corpus + "/faxes") + " /sd=" + ShellQuote(out) + " /fmt=pdf"));
  });
  images.bytes = PdfBytes(work + "/images");
  corpusResults.push_back(images);
  if (peers) {
    MakePeerTiffs(corpus + "/faxes", work + "/tif");
    for (int jobs : {1, 2}) {
      Result r{"img2pdf + ocrmypdf --jobs " + std::to_string(jobs), {}, 0, -1};
      r.timing =
          Best(repeat, work + "/peers", [&](const std::string& out) { RunPeers(work + "/tif", faxes, out, jobs); });
      r.bytes = PdfBytes(work + "/peers");
      r.recall = Recall(work + "/peers", faxes);
      corpusResults.push_back(r);
    }
  }
  for (const Result& r : corpusResults) Print(r, pages);
  if (peers) {
    const Result& ours = corpusResults[1];
    const Result& theirs = corpusResults[4];
    std::printf("searchable PDF bytes, tamarind / ocrmypdf: %.2f (target <= 1.00); pages/s at 2 jobs: %.2f times\n",
                static_cast<double>(ours.bytes) / static_cast<double>(theirs.bytes),
                theirs.timing.wall / ours.timing.wall);
  }

  // One large fax, one file.
  const CorpusFax single = SingleFax();
  const std::string singleFax = corpus + "/single/" + single.name;
  std::vector<Result> singleResults;
  for (int jobs : {1, 2}) {
    const std::string out = work + "/single-j" + std::to_string(jobs);
    Result r{"single fax /f= /sf= /ocr /j=" + std::to_string(jobs), {}, 0, -1};
    r.timing = Best(repeat, out, [&](const std::string& folder) {
      Run(Tamarind("/f=" + ShellQuote(singleFax) + " /sf=" + ShellQuote(folder + "/single.pdf") +
                   " /fmt=pdf /ocr /j=" + std::to_string(jobs)));
    });
    r.bytes = PdfBytes(out);
    r.recall = Recall(out, {single});
    singleResults.push_back(r);
  }
  if (!SameBytes(work + "/single-j1/single.pdf", work + "/single-j2/single.pdf"))
    throw std::runtime_error("/j=1 and /j=2 wrote different PDFs");
  if (peers) {
    MakePeerTiffs(corpus + "/single", work + "/single-tif");
    for (int jobs : {1, 2}) {
      Result r{"single fax ocrmypdf --jobs " + std::to_string(jobs), {}, 0, -1};
      r.timing = Best(repeat, work + "/single-peers",
                      [&](const std::string& out) { RunPeers(work + "/single-tif", {single}, out, jobs); });
      r.bytes = PdfBytes(work + "/single-peers");
      singleResults.push_back(r);
    }
  }
  std::printf("\nsingle fax: %zu pages\n", single.pages.size());
  for (const Result& r : singleResults) Print(r, single.pages.size());
  std::printf("single fax /j=2 / /j=1 wall time: %.2f (target <= 0.60 on two idle cores); processor time %.2f; "
              "the same bytes\n",
              singleResults[1].timing.wall / singleResults[0].timing.wall,
              singleResults[1].timing.cpu / singleResults[0].timing.cpu);
  fs::remove_all(work);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_searchable: %s\n", e.what());
  return 1;
}
