// One judgement of a file, read alike by everything that reports it: the
// text report's total, the JSON report's status, the window's list and the
// exit status. A fax that lost a page (one that did not decode, one past
// the pages the reader keeps, one whose text could not be read) has failed
// in every one of them.
#include <atomic>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/files.h"
#include "support/fax_files.h"
#include "support/test_files.h"
#include "window/gui_run.h"

namespace tamarind {
namespace {

using test::ShellQuote;

struct Fax {
  const char* name;
  void (*write)(const std::string& path);
  bool recognizeText;
  bool converted;  // what every consumer must say
};

const Fax kFaxes[] = {
    {"whole",
     [](const std::string& path) {
       test::WriteFaxFile(path, {"text-fine-g3", "text-standard-g4"});
     },
     false, true},
    {"torn",
     [](const std::string& path) {
       test::WriteFaxFile(path, {"text-fine-g3", test::kEmptyPage, "wide-g4"});
     },
     false, false},
    {"long",
     [](const std::string& path) { tools::WriteWinFaxFile(path, std::vector(1500, test::WhiteRowsPage(16, 8, 1))); },
     false, false},
    // 33,000 rows: a JPEG takes it, text recognition (32,767 at most) not.
    {"unreadable",
     [](const std::string& path) { tools::WriteWinFaxFile(path, std::vector{test::WhiteRowsPage(16, 33000, 1)}); },
     true, false},
};

struct RunWords : RunEvents {
  std::string word;
  void SaveDirFailed(const std::string&) override {}
  void RunPlanned(const RunProgress&) override {}
  void FileStarted(size_t, const std::string&) override {}
  void FileFinished(size_t, const FinishedFile& file, const RunProgress&) override { word = ResultText(file.result); }
  void RunFinished(const RunProgress&, bool) override {}
};

// The fax alone in a folder, converted by the program (whose report, JSON
// report and status three consumers read) and by the window's run.
class OneJudgement : public ::testing::TestWithParam<Fax> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::MakeFolders(dir.File("in")));
    GetParam().write(dir.File("in/fax.fxd"));
  }

  test::ScopedTempDir dir;
};

TEST_P(OneJudgement, EveryConsumerCallsTheFaxAlike) {
  const test::CommandResult program =
      test::RunProgram(dir.Path(), std::string("/d=in /sd=out /report=r.jsonl /log=log.txt") +
                                       (GetParam().recognizeText ? " /ocr" : "") + " 2>/dev/null");
  const std::string report = test::ReadFileText(dir.File("r.jsonl"));
  const nlohmann::json status = nlohmann::json::parse(report.substr(0, report.find('\n')))["status"];

  ConversionJob job;
  job.Reset();
  job.files = {"fax.fxd"};
  RunPlan plan;
  plan.options.source = dir.File("in");
  plan.options.destination = dir.File("window");
  plan.options.recognizeText = GetParam().recognizeText;
  plan.logPath = dir.File("window.log");
  std::atomic<bool> stop{false};
  RunWords events;
  RunConversion(job, plan, stop, events);
  const std::pair<const char*, bool> converted[] = {
      {"the text report's total", program.output.find("Total converted FAX files: 1\n") != std::string::npos},
      {"the JSON report", status == "converted"},
      {"the window's list", events.word == "Converted!"},
      {"the exit status", program.exitCode == 0},
  };
  for (auto [consumer, said] : converted) EXPECT_EQ(said, GetParam().converted) << consumer;
}

INSTANTIATE_TEST_SUITE_P(Faxes, OneJudgement, ::testing::ValuesIn(kFaxes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tamarind
