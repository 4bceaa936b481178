// Text recognition of real pages (pages 1 to 6 of the groff manual set at
// 204 x 196 and at 204 x 98 dpi, as the tests make them), in pages per
// second with one worker and with one worker per hardware thread (one
// engine each, created before the clock starts), and word recall against
// the words the pages were set from (three letters or more, counted with
// repetition, hyphenation joined, ligatures expanded).
//
// Pages per processor second show what a page costs whatever else the
// machine is doing: when all workers get as many pages out of a processor
// second as one worker does, they scale with the cores they are given.
//
// Usage: bench_ocr [--repeat=N] [--languages=eng]
//   --repeat     runs per measurement, the best counts (default 2)
//   --languages  Tesseract languages (default eng)
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "codec/fax/fax_page.h"
#include "ocr/ocr_engine.h"
#include "support/document_pages.h"

namespace {

using tamarind::FaxPage;
using tamarind::ocr::OcrEngine;
using tamarind::ocr::PageText;

struct PageSet {
  const char* name;
  bool fine;
  double recall_target;
  std::vector<FaxPage> pages;
  std::vector<const std::string*> source_texts;
};

PageSet MakeSet(const char* name, bool fine, double recall_target) {
  PageSet set{name, fine, recall_target, {}, {}};
  for (const tamarind::test::DocumentPage& page : tamarind::test::DocumentPages()) {
    set.pages.push_back(tamarind::test::FaxPageOf(fine ? page.fine : page.standard, fine));
    set.source_texts.push_back(&page.text);
  }
  return set;
}

OcrEngine MakeEngine(const std::string& languages) {
  tamarind::platform::Expected<OcrEngine> engine = OcrEngine::Create(languages);
  if (!engine) throw std::runtime_error(engine.reason());
  return std::move(*engine);
}

PageText Recognise(OcrEngine& engine, const FaxPage& page) {
  tamarind::ocr::Recognition read = engine.Recognise(page);
  if (!read.ok()) throw std::runtime_error("recognition failed: " + read.reason);
  return std::move(read.text);
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor seconds of every thread of this process.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing {
  double wall = 1e30;  // seconds, best run
  double cpu = 1e30;   // processor seconds, best run
};

// Every page of |set| once over |engines|, one thread each taking the next
// page; the results in page order. Wall time is what a user waits for;
// processor time is what a page costs whatever else the machine is doing.
Timing RecogniseAll(std::vector<OcrEngine>& engines, const PageSet& set, std::vector<PageText>* results) {
  results->assign(set.pages.size(), PageText{});
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::string failure;
  auto work = [&](OcrEngine& engine) {
    try {
      for (size_t i = next++; i < set.pages.size() && !failed; i = next++)
        (*results)[i] = Recognise(engine, set.pages[i]);
    } catch (const std::exception& error) {
      if (!failed.exchange(true)) failure = error.what();
    }
  };
  const double cpu_start = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  if (engines.size() == 1) {
    work(engines.front());
  } else {
    std::vector<std::jthread> threads;
    for (OcrEngine& engine : engines) threads.emplace_back(work, std::ref(engine));
  }
  const Timing timing{Seconds(start), CpuSeconds() - cpu_start};
  if (failed) throw std::runtime_error(failure);
  return timing;
}

void KeepBest(Timing& best, const Timing& run) {
  best.wall = std::min(best.wall, run.wall);
  best.cpu = std::min(best.cpu, run.cpu);
}

// Words found over words wanted, over all pages of the set.
double Recall(const PageSet& set, const std::vector<PageText>& results) {
  double found = 0;
  double wanted = 0;
  for (size_t i = 0; i < set.pages.size(); ++i) {
    const double words = static_cast<double>(tamarind::test::RecallWords(*set.source_texts[i]).size());
    found += words * tamarind::test::WordRecall(*set.source_texts[i], results[i].text);
    wanted += words;
  }
  return wanted == 0 ? 1.0 : found / wanted;
}

std::string StringOption(int argc, char** argv, const std::string& name, const std::string& fallback) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.starts_with(name + "=")) return arg.substr(name.size() + 1);
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) try {
  const int repeat = std::max(1, std::atoi(StringOption(argc, argv, "--repeat", "2").c_str()));
  const std::string languages = StringOption(argc, argv, "--languages", "eng");
  const unsigned all = std::max(1u, std::thread::hardware_concurrency());

  std::vector<PageSet> sets;
  sets.push_back(MakeSet("fine 204x196", true, 0.93));
  sets.push_back(MakeSet("standard 204x98", false, 0.90));

  const auto loading = std::chrono::steady_clock::now();
  std::vector<OcrEngine> one;
  one.push_back(MakeEngine(languages));
  const double load_seconds = Seconds(loading);
  std::vector<OcrEngine> many;
  for (unsigned i = 0; i < all; ++i) many.push_back(MakeEngine(languages));

  std::printf("languages %s, %zu pages per set, %u hardware threads, best of %d runs; engine loads in %.2f s\n",
              languages.c_str(), sets.front().pages.size(), all, repeat, load_seconds);
  std::vector<PageText> results;
  RecogniseAll(one, sets.front(), &results);  // warm the caches and every engine once
  RecogniseAll(many, sets.front(), &results);

  bool met = true;
  for (const PageSet& set : sets) {
    // Round by round, so that a busy spell on a shared machine hits both alike.
    Timing one_worker;
    Timing all_workers;
    for (int round = 0; round < repeat; ++round) {
      KeepBest(one_worker, RecogniseAll(one, set, &results));
      KeepBest(all_workers, RecogniseAll(many, set, &results));
    }
    const double recall = Recall(set, results);
    const double pages = static_cast<double>(set.pages.size());
    const double scaling = one_worker.wall / all_workers.wall;
    std::printf("%-16s 1 worker %5.2f pages/s   %u workers %5.2f pages/s (%.2fx)   recall %6.2f%% (target %.0f%%)\n"
                "%-16s per processor second: 1 worker %.2f pages, %u workers %.2f pages\n",
                set.name, pages / one_worker.wall, all, pages / all_workers.wall, scaling, 100 * recall,
                100 * set.recall_target, "", pages / one_worker.cpu, all, pages / all_workers.cpu);
    met = met && recall >= set.recall_target && scaling >= (all > 1 ? 1.7 : 1.0);
    if (set.fine) met = met && pages / one_worker.wall >= 0.7;
  }
  std::printf("targets: recall >= 93%% fine, >= 90%% standard; 1 worker >= 0.7 pages/s on fine pages; "
              "all workers >= 1.7x one (2 cores): %s\n",
              met ? "met" : "MISSED");
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_ocr: %s\n", e.what());
  return 1;
}
