// The JPEG stage and the whole converter on text and halftone faxes, three
// ways, at quality 50 with optimised tables (the program's defaults):
//   bilevel  the program's encoder, straight from the page's bits
//   libjpeg  the temporary BMP and libjpeg (the path a page the encoder
//            refuses still takes)
//   cjpeg    one `cjpeg -quality 50 -optimize -grayscale` process per page
//            on the page's samples as a PGM (rows repeated for square
//            pixels), as a user would script it
// Stage: every page of a set through each, into files. Converter: a folder
// of WinFax files of the same pages, converted by the program with one
// worker and with all, and by the same steps with the libjpeg path (load,
// decode, BMP, libjpeg). Against cjpeg the converter is timed per finished
// page: the cjpeg figure is only the compression, without any decoding.
//
// Sets: the six pages of the groff manual page set by Ghostscript, at fine
// (204 x 196) and standard (204 x 98) resolution; a Floyd-Steinberg and an
// ordered-dither halftone of ImageMagick's logo, at both. Each set is
// repeated to 48 pages in 16 files. Every bilevel file is checked to be
// cjpeg's byte for byte.
//
// Prints milliseconds and processor milliseconds per page, and the ratios
// the targets are set on. Usage: bench_jpeg_stage [--repeat=N] (the best
// of N rounds, default 3). Made once under build/benchdata/.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive_bench.h"
#include "batch/convert_folder.h"
#include "batch/parallel_run.h"
#include "codec/bmp/page_bmp.h"
#include "codec/jpeg/bilevel_jpeg.h"
#include "codec/jpeg/jpeg_writer.h"
#include "convert/conversion_job.h"
#include "convert/process.h"
#include "faxdoc/fax_document.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "support/document_pages.h"
#include "support/page_images.h"
#include "support/real_pages.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using tamarind::FaxPage;
using tamarind::bench::Best;
using tamarind::bench::Timing;
using tamarind::test::Bitmap;

constexpr const char* kFolder = "/benchdata/jpeg-stage-v2";
constexpr int kPagesPerSet = 48;
constexpr int kPagesPerFile = 3;
constexpr int kQuality = 50;

struct PageSet {
  std::string name;
  std::vector<FaxPage> pages;  // kPagesPerSet, repeating the distinct ones
  std::string folder;          // fax/ and pgm/ below it
};

std::string Root() { return tamarind::test::BinaryDir() + kFolder; }

FaxPage PageOf(const Bitmap& bitmap, bool fine) { return tamarind::test::FaxPageOf(bitmap, fine); }

std::string PbmOf(const Bitmap& bitmap) {
  std::string pbm = "P4\n" + std::to_string(bitmap.width) + " " + std::to_string(bitmap.height) + "\n";
  pbm.append(bitmap.rows.begin(), bitmap.rows.end());
  return pbm;
}

// Group 3 data of |bitmap| from netpbm's encoder.
std::vector<uint8_t> Group3(const Bitmap& bitmap, const std::string& scratch) {
  tamarind::test::WriteFileText(scratch, PbmOf(bitmap));
  tamarind::test::CommandResult coded =
      tamarind::test::RunCommand("pbmtog3 -nofixedwidth " + tamarind::test::ShellQuote(scratch));
  if (coded.exitCode != 0) throw std::runtime_error("pbmtog3 failed");
  return std::vector<uint8_t>(coded.output.begin(), coded.output.end());
}

// The WinFax files and PGMs of one set, made once.
void MakeSetFiles(const std::string& folder, const std::vector<Bitmap>& bitmaps, bool fine) {
  if (fs::exists(folder)) return;
  const std::string scratch = folder + ".tmp";
  fs::remove_all(scratch);
  fs::create_directories(scratch + "/fax");
  fs::create_directories(scratch + "/pgm");
  std::vector<tamarind::tools::WinFaxPageLayout> layouts;
  for (size_t i = 0; i < bitmaps.size(); ++i) {
    tamarind::tools::WinFaxPageLayout layout;
    layout.coded = Group3(bitmaps[i], scratch + "/page.pbm");
    layout.msb_first = true;
    layout.width = static_cast<uint16_t>(bitmaps[i].width);
    layout.resolution_code = fine ? 1 : 0;
    layouts.push_back(std::move(layout));
    tamarind::test::WriteFileText(scratch + "/pgm/" + std::to_string(i) + ".pgm",
                                  tamarind::test::EncodePgm(tamarind::test::SquareSamples(PageOf(bitmaps[i], fine))));
  }
  fs::remove(scratch + "/page.pbm");
  for (int file = 0; file < kPagesPerSet / kPagesPerFile; ++file) {
    std::vector<tamarind::tools::WinFaxPageLayout> pages;
    for (int p = 0; p < kPagesPerFile; ++p) pages.push_back(layouts[(file * kPagesPerFile + p) % layouts.size()]);
    std::string error;
    const std::string name = scratch + "/fax/f" + std::to_string(file) + ".fxd";
    if (!tamarind::tools::WriteWinFaxFile(name, pages, &error)) throw std::runtime_error(error);
  }
  fs::rename(scratch, folder);
}

Bitmap OrderedDither(const std::string& folder) {
  const std::string path = folder + "/ordered.pbm";
  if (!fs::exists(path)) {
    fs::create_directories(folder);
    const std::string command = "convert logo: -resize 1728x -colorspace gray -ordered-dither o8x8 -monochrome pbm:" +
                                tamarind::test::ShellQuote(path);
    if (tamarind::test::RunCommand(command).exitCode != 0) throw std::runtime_error("convert failed");
  }
  return tamarind::test::ReadPbm(path);
}

std::vector<PageSet> MakeSets() {
  std::vector<Bitmap> textFine, textStandard;
  for (const auto& page : tamarind::test::DocumentPages()) {
    textFine.push_back(page.fine);
    textStandard.push_back(page.standard);
  }
  const std::vector<Bitmap> halftones = {tamarind::test::RealPageNamed("halftone-g3").reference, OrderedDither(Root())};
  struct Recipe {
    const char* name;
    const char* folder;
    const std::vector<Bitmap>* bitmaps;
    bool fine;
  };
  std::vector<PageSet> sets;
  for (Recipe r : {Recipe{"text fine", "text-fine", &textFine, true},
                   Recipe{"text standard", "text-standard", &textStandard, false},
                   Recipe{"halftone fine", "halftone-fine", &halftones, true},
                   Recipe{"halftone standard", "halftone-standard", &halftones, false}}) {
    PageSet set;
    set.name = r.name;
    set.folder = Root() + "/" + r.folder;
    MakeSetFiles(set.folder, *r.bitmaps, r.fine);
    for (int i = 0; i < kPagesPerSet; ++i) set.pages.push_back(PageOf((*r.bitmaps)[i % r.bitmaps->size()], r.fine));
    sets.push_back(std::move(set));
  }
  return sets;
}

size_t Distinct(const PageSet& set) {
  size_t count = 0;
  while (fs::exists(set.folder + "/pgm/" + std::to_string(count) + ".pgm")) ++count;
  return count;
}

std::unique_ptr<tamarind::platform::AtomicOutputFile> Output(const std::string& path) {
  auto output = tamarind::platform::AtomicOutputFile::Create(path);
  if (!output) throw std::runtime_error(output.reason());
  return std::move(*output);
}

void StageBilevel(const PageSet& set, const std::string& out) {
  for (size_t i = 0; i < set.pages.size(); ++i) {
    std::optional<tamarind::BilevelJpeg> jpeg = tamarind::BilevelJpeg::Prepare(set.pages[i], kQuality, true);
    if (!jpeg || tamarind::WriteBilevelJpeg(*jpeg, *Output(out + "/" + std::to_string(i) + ".jpg")) != 0)
      throw std::runtime_error("bilevel encoder failed");
  }
}

void StageLibjpeg(const PageSet& set, const std::string& out, tamarind::platform::PrivateTempFile& bmp) {
  for (size_t i = 0; i < set.pages.size(); ++i) {
    if (tamarind::WritePageBmp(set.pages[i], bmp) != 0 ||
        tamarind::WriteJpegFromBmp(bmp, *Output(out + "/" + std::to_string(i) + ".jpg"), kQuality, true, true) != 0)
      throw std::runtime_error("libjpeg path failed");
  }
}

// cjpeg itself, its output redirected to |jpeg|: no shell in between.
void RunCjpeg(const std::string& pgm, const std::string& jpeg) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, jpeg.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const std::string quality = std::to_string(kQuality);
  char* argv[] = {const_cast<char*>("cjpeg"),
                  const_cast<char*>("-quality"),
                  const_cast<char*>(quality.c_str()),
                  const_cast<char*>("-optimize"),
                  const_cast<char*>("-grayscale"),
                  const_cast<char*>(pgm.c_str()),
                  nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "cjpeg", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("cjpeg failed on " + pgm);
}

void StageCjpeg(const PageSet& set, const std::string& out) {
  const size_t distinct = Distinct(set);
  for (size_t i = 0; i < set.pages.size(); ++i)
    RunCjpeg(set.folder + "/pgm/" + std::to_string(i % distinct) + ".pgm", out + "/" + std::to_string(i) + ".jpg");
}

void CheckIdentity(const PageSet& set, const std::string& out) {
  StageBilevel(set, out);
  const size_t distinct = Distinct(set);
  for (size_t i = 0; i < distinct; ++i) {
    RunCjpeg(set.folder + "/pgm/" + std::to_string(i) + ".pgm", out + "/cjpeg.jpg");
    if (tamarind::test::ReadFileBytes(out + "/" + std::to_string(i) + ".jpg") !=
        tamarind::test::ReadFileBytes(out + "/cjpeg.jpg"))
      throw std::runtime_error(set.name + ": page " + std::to_string(i) + " differs from cjpeg's file");
  }
}

void ConvertFolder(const PageSet& set, const std::string& out, int workers) {
  tamarind::ConversionJob job;
  job.Reset();
  job.options.source = set.folder + "/fax";
  job.options.destination = out;
  job.options.workers = workers;
  job.options.quality = kQuality;
  tamarind::CollectFiles(job, job.options.source, false);
  tamarind::ConvertFolder(job);
  if (job.failures != 0) throw std::runtime_error("conversion failed:\n" + job.report);
}

// The conversion's steps with the libjpeg path: each file loaded, each
// page decoded, through the BMP into a JPEG.
void ConvertThroughLibjpeg(const PageSet& set, const std::string& out, tamarind::platform::PrivateTempFile& bmp) {
  int n = 0;
  for (const auto& entry : fs::directory_iterator(set.folder + "/fax")) {
    tamarind::FaxDocument document;
    if (document.Load(entry.path().string(), tamarind::kWinFaxFormat) != 0) throw std::runtime_error("load failed");
    for (int page = 0; page < document.PageCount(); ++page) {
      if (page > 0) document.DecodePage(tamarind::kWinFaxFormat, page);
      if (tamarind::WritePageBmp(document.Page(), bmp) != 0 ||
          tamarind::WriteJpegFromBmp(bmp, *Output(out + "/" + std::to_string(n++) + ".jpg"), kQuality, true, true) != 0)
        throw std::runtime_error("libjpeg path failed");
    }
  }
}

struct SetTimes {
  Timing bilevel, libjpeg, cjpeg, one, all, oneLibjpeg;
};

void KeepBest(Timing& best, const Timing& t) {
  best.wall = std::min(best.wall, t.wall);
  best.cpu = std::min(best.cpu, t.cpu);
}

void Measure(const PageSet& set, const std::string& out, unsigned workers, tamarind::platform::PrivateTempFile& bmp,
             SetTimes& times) {
  KeepBest(times.bilevel, Best(1, out, [&](const std::string& f) { StageBilevel(set, f); }));
  KeepBest(times.libjpeg, Best(1, out, [&](const std::string& f) { StageLibjpeg(set, f, bmp); }));
  KeepBest(times.cjpeg, Best(1, out, [&](const std::string& f) { StageCjpeg(set, f); }));
  KeepBest(times.one, Best(1, out, [&](const std::string& f) { ConvertFolder(set, f, 1); }));
  KeepBest(times.all, Best(1, out, [&](const std::string& f) { ConvertFolder(set, f, static_cast<int>(workers)); }));
  KeepBest(times.oneLibjpeg, Best(1, out, [&](const std::string& f) { ConvertThroughLibjpeg(set, f, bmp); }));
}

void Report(const PageSet& set, const SetTimes& t, unsigned workers) {
  const double pages = static_cast<double>(set.pages.size());
  auto row = [&](const char* what, const Timing& timing) {
    std::printf("  %-34s %7.2f ms/page  %7.2f processor ms/page\n", what, 1000 * timing.wall / pages,
                1000 * timing.cpu / pages);
  };
  std::printf("%s (%zu pages)\n", set.name.c_str(), set.pages.size());
  row("stage: bilevel encoder", t.bilevel);
  row("stage: BMP + libjpeg", t.libjpeg);
  row("stage: cjpeg, one process per page", t.cjpeg);
  row("converter: 1 worker", t.one);
  row(("converter: " + std::to_string(workers) + " workers").c_str(), t.all);
  row("converter steps with BMP + libjpeg", t.oneLibjpeg);
  const bool text = set.name.starts_with("text");
  std::printf("  ratio stage cjpeg / bilevel        %6.2f wall %6.2f processor  (target >= 8 on text)\n",
              t.cjpeg.wall / t.bilevel.wall, t.cjpeg.cpu / t.bilevel.cpu);
  std::printf("  ratio stage libjpeg / bilevel      %6.2f wall %6.2f processor\n", t.libjpeg.wall / t.bilevel.wall,
              t.libjpeg.cpu / t.bilevel.cpu);
  std::printf("  ratio cjpeg per page / converter   %6.2f wall %6.2f processor  (target >= %s)\n",
              t.cjpeg.wall / t.one.wall, t.cjpeg.cpu / t.one.cpu, text ? "4" : "2.5");
  std::printf("  ratio libjpeg converter / converter%6.2f wall %6.2f processor\n", t.oneLibjpeg.wall / t.one.wall,
              t.oneLibjpeg.cpu / t.one.cpu);
  std::printf("  ratio all workers / 1 worker      %6.2f wall                    (target >= 1.8 on 2 cores)\n",
              t.one.wall / t.all.wall);
}

std::string StringOption(int argc, char** argv, const std::string& name) {
  for (int i = 1; i < argc; ++i)
    if (std::string_view(argv[i]).starts_with(name + "=")) return argv[i] + name.size() + 1;
  return "";
}

// --only=WAY:SET runs one stage or conversion once, for counting
// instructions under callgrind (`valgrind --tool=callgrind
// --trace-children=yes`), which no other load on the machine disturbs.
// WAY is bilevel, libjpeg, cjpeg, converter or libjpeg-converter; SET the
// folder name of a set (text-fine, text-standard, halftone-fine,
// halftone-standard).
void RunOnly(const std::string& only, const std::vector<PageSet>& sets, const std::string& out,
             tamarind::platform::PrivateTempFile& bmp) {
  const std::string way = only.substr(0, only.find(':'));
  const std::string folder = Root() + "/" + only.substr(only.find(':') + 1);
  for (const PageSet& set : sets) {
    if (set.folder != folder) continue;
    const Timing t = Best(1, out, [&](const std::string& f) {
      if (way == "bilevel") StageBilevel(set, f);
      else if (way == "libjpeg") StageLibjpeg(set, f, bmp);
      else if (way == "cjpeg") StageCjpeg(set, f);
      else if (way == "converter") ConvertFolder(set, f, 1);
      else if (way == "libjpeg-converter") ConvertThroughLibjpeg(set, f, bmp);
      else throw std::runtime_error("unknown way " + way);
    });
    fs::remove_all(out);
    std::printf("%s: %.2f ms/page, %.2f processor ms/page\n", only.c_str(), 1000 * t.wall / set.pages.size(),
                1000 * t.cpu / set.pages.size());
    return;
  }
  throw std::runtime_error("unknown set in " + only);
}

}  // namespace

int main(int argc, char** argv) try {
  tamarind::platform::ReturnFreedPageMemory();
  const int repeat = std::max(1, tamarind::bench::IntOption(argc, argv, "--repeat", 3));
  tamarind::processPaths.tempFolder = tamarind::platform::TempFolder();
  const std::vector<PageSet> sets = MakeSets();
  const std::string out = tamarind::test::BinaryDir() + "/benchdata/jpeg-stage-out-" + std::to_string(getpid());
  auto bmp = tamarind::platform::PrivateTempFile::Create(tamarind::platform::TempFolder(), "bench", ".bmp");
  const unsigned workers = tamarind::WorkerCount(tamarind::ConversionOptions{});
  if (const std::string only = StringOption(argc, argv, "--only"); !only.empty()) {
    RunOnly(only, sets, out, **bmp);
    return 0;
  }
  for (const PageSet& set : sets) Best(1, out, [&](const std::string& f) { CheckIdentity(set, f); });
  std::printf("quality %d, optimised; every bilevel file is cjpeg's byte for byte; best of %d rounds\n", kQuality,
              repeat);
  std::vector<SetTimes> times(sets.size());
  // Round by round, so that a busy spell on a shared machine hits every
  // kind alike.
  for (int round = 0; round < repeat; ++round)
    for (size_t s = 0; s < sets.size(); ++s) Measure(sets[s], out, workers, **bmp, times[s]);
  fs::remove_all(out);
  for (size_t s = 0; s < sets.size(); ++s) Report(sets[s], times[s], workers);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_jpeg_stage: %s\n", e.what());
  return 1;
}
