#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "batch/parallel_run.h"
#include "cli/command_line.h"
#include "convert/conversion_job.h"
#include "convert/process.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    processPaths = ProcessPaths{};
    processPaths.logPath = "default.log";
    conversionSettings = ConversionSettings{};
    job.Reset();
  }

  // Parses the text form with standard output captured; returns the result.
  int ParseText(std::string_view text) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int result = ParseCommandLine(job, text);
    out = ::testing::internal::GetCapturedStdout();
    err = ::testing::internal::GetCapturedStderr();
    return result;
  }

  int ParseArgs(std::vector<std::string> args) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int result = ParseArguments(job, args);
    out = ::testing::internal::GetCapturedStdout();
    err = ::testing::internal::GetCapturedStderr();
    return result;
  }

  ConversionJob job;
  std::string out;
  std::string err;
};

const char kUsage[] = "Usage: tamarind [/q /l] [/b=0 /v=0] /f=source-file /sf=dest-jpeg-file\n"
                      "or\n"
                      "Usage: tamarind [/q /l] [/b=0 /v=0] /d=source-directory /sd=dest-directory [/filter=]\n";

TEST_F(CommandLineTest, ResultsForMissingEmptyAndIncompleteCommandLines) {
  EXPECT_EQ(ParseCommandLine(job, std::nullopt), -1);
  EXPECT_EQ(ParseText(""), -2);
  EXPECT_EQ(out, "");
  EXPECT_EQ(ParseText("   "), 126);  // blanks only is not empty
  EXPECT_EQ(out, kUsage);
  EXPECT_EQ(ParseText("/q /f=a.fxd"), 126);
  EXPECT_EQ(out, kUsage);
  EXPECT_EQ(ParseText("/sd="), 126);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "ERROR Save Folder: Please set save folder with '/sd=' or '/sf=', and be sure it is not the same "
                 "as source folder\n");
  EXPECT_EQ(ParseText("/f=a.fxd /sf=a.jpg"), 0);
  EXPECT_EQ(out, "");

  // The argument form of any other command line gives what its text does
  // (tests/fuzz/fuzz_command_line); none at all, or only empty ones, the
  // results above.
  EXPECT_EQ(ParseArgs({}), -1);
  EXPECT_EQ(ParseArgs({"", ""}), -2);
}

TEST_F(CommandLineTest, FlagSwitchesMatchWholeTokensOnly) {
  ASSERT_EQ(ParseText("/l /Q /KE /i /kh /raw /relines /sf=x.jpg"), 0);
  EXPECT_EQ(job.options.keepDate, 1);
  EXPECT_EQ(job.options.quiet, 1);
  EXPECT_EQ(job.options.keepExtension, 1);
  EXPECT_EQ(job.options.includeSubfolders, 1);
  EXPECT_EQ(job.options.keepHierarchy, 1);
  EXPECT_EQ(conversionSettings.raw, 1);
  EXPECT_EQ(conversionSettings.recalcLines, 1);

  ASSERT_EQ(ParseText("/lx /quiet /i2 /khx /rawx /sf=x.jpg"), 0);
  EXPECT_EQ(job.options.keepDate, 0);
  EXPECT_EQ(job.options.quiet, 0);
  EXPECT_EQ(job.options.includeSubfolders, 0);
  EXPECT_EQ(job.options.keepHierarchy, 0);
  EXPECT_EQ(conversionSettings.raw, 0);
}

// A run without /qa= and /filter= gets what --help says it gets: the
// defaults are read from the help text, so that neither can change without
// the other. (/o and /skip: EveryParseStartsFromClearedOptions.)
TEST_F(CommandLineTest, RunsGetTheDefaultsTheHelpStates) {
  const std::string help(HelpText());
  auto stated = [&](const std::string& switchName) {  // "X" of "(default X)" on the switch's line
    const size_t at = help.find("(default ", help.find("\n  " + switchName));
    return at == std::string::npos ? "none stated" : help.substr(at + 9, help.find(')', at) - at - 9);
  };
  ConversionJob fresh;
  fresh.Reset();
  ASSERT_EQ(ParseArguments(fresh, std::vector<std::string>{"/d=in", "/sd=out"}), 0);
  EXPECT_EQ(std::to_string(fresh.options.quality), stated("/qa="));
  EXPECT_EQ(fresh.options.filter, stated("/filter="));
}

TEST_F(CommandLineTest, EveryParseStartsFromClearedOptions) {
  job.options.optimize = 0;
  job.options.skipExisting = 1;
  job.options.quality = 80;
  job.options.filter = "*.fxd";
  ASSERT_EQ(ParseText("/sf=x.jpg"), 0);
  EXPECT_EQ(job.options.optimize, 1);
  EXPECT_EQ(job.options.skipExisting, 0);
  EXPECT_EQ(job.options.quality, 80);  // kept from before the parse
  EXPECT_EQ(job.options.filter, "*.fxd");
  ASSERT_EQ(ParseText("/o /sf=x.jpg"), 0);
  EXPECT_EQ(job.options.optimize, 1);
}

TEST_F(CommandLineTest, QualityReadsLikeAtoi) {
  struct Case {
    const char* token;
    int quality;
  } cases[] = {{"/qa=85", 85},     {"/qa=x", 0},   {"/qa=150", 150}, {"/qa=-7", -7},
               {"/qa=+12abc", 12}, {"/QA=40", 40}, {"/qa=", 0},      {"/qa=99999999999", 2147483647}};
  for (const Case& c : cases) {
    ASSERT_EQ(ParseText(std::string(c.token) + " /sf=x.jpg"), 0) << c.token;
    EXPECT_EQ(job.options.quality, c.quality) << c.token;
  }
}

TEST_F(CommandLineTest, WorkerCountTakesPlainNumbersElseTheDefaultWithAWarning) {
  struct Case {
    const char* token;
    int workers;
    bool warned;
  } cases[] = {{"/j=3", 3, false}, {"/J=2", 2, false}, {"/j=0", 0, false}, {"/j=x", 0, true},
               {"/j=", 0, true},   {"/j=-2", 0, true}, {"/j=3x", 0, true}, {"/j=99999", 0, true}};
  for (const Case& c : cases) {
    job.options.workers = 7;
    ASSERT_EQ(ParseArgs({c.token, "/sd=out"}), 0) << c.token;
    EXPECT_EQ(job.options.workers, c.workers) << c.token;
    // Only a count is taken silently; anything else is said.
    EXPECT_EQ(job.parseDiagnostics.warnings.size(), c.warned ? 1u : 0u) << c.token;
  }
  // The usage lines stay as they were.
  EXPECT_EQ(ParseText("/j=2"), 126);
  EXPECT_EQ(out, kUsage);
}

TEST_F(CommandLineTest, ListedValuesOnlyAndOthersIgnored) {
  ASSERT_EQ(ParseText("/m=2 /b=1 /v=3 /sf=x.jpg"), 0);
  EXPECT_EQ(conversionSettings.lineMode, 2);
  EXPECT_EQ(conversionSettings.bitOrder, 1);
  EXPECT_EQ(conversionSettings.verticalResolution, 300);
  ASSERT_EQ(ParseText("/m=3 /b=01 /v=5 /unknown -x /sf=x.jpg"), 0);
  EXPECT_EQ(conversionSettings.lineMode, 2);
  EXPECT_EQ(conversionSettings.bitOrder, 1);
  EXPECT_EQ(conversionSettings.verticalResolution, 300);
  for (int v = 0; v <= 4; ++v) {
    ASSERT_EQ(ParseText("/v=" + std::to_string(v) + " /sf=x.jpg"), 0);
    EXPECT_EQ(conversionSettings.verticalResolution, std::vector<int>({0, 100, 200, 300, 400})[v]);
  }
}

TEST_F(CommandLineTest, DestinationSwitchChoosesTheMode) {
  ASSERT_EQ(ParseText("/f=C:/In/Fax1.FXD /SF=C:/Out/Fax1.JPG /q"), 0);
  EXPECT_EQ(job.options.mode, RunMode::SingleFile);
  EXPECT_EQ(job.options.source, "C:/In/Fax1.FXD");  // values keep their case
  EXPECT_EQ(job.options.destination, "C:/Out/Fax1.JPG");
  EXPECT_EQ(job.options.quiet, 1);

  ASSERT_EQ(ParseText("/f=faxes /sd=out"), 0);  // a folder given with /f= is walked
  EXPECT_EQ(job.options.mode, RunMode::Folder);
  EXPECT_EQ(job.options.source, "faxes");

  ASSERT_EQ(ParseText("/sd=a /sf=b.jpg"), 0);
  EXPECT_EQ(job.options.mode, RunMode::SingleFile);
  EXPECT_EQ(job.options.destination, "b.jpg");
  ASSERT_EQ(ParseText("/f=one /f=two /d=three /sd=out /filter=*.fxd /log=/tmp/t.log"), 0);
  EXPECT_EQ(job.options.source, "three");
  EXPECT_EQ(job.options.filter, "*.fxd");
  EXPECT_EQ(processPaths.logPath, "/tmp/t.log");
  EXPECT_FALSE(processPaths.logPathIsDefault);
}

TEST_F(CommandLineTest, OrderOfTheTableDecidesOverlappingNames) {
  // "/filter=" is tried before "/f=", and "/l" before "/log=" only for the
  // whole token.
  ASSERT_EQ(ParseText("/filter=*.fx? /log=my.log /l /sd=out"), 0);
  EXPECT_EQ(job.options.filter, "*.fx?");
  EXPECT_EQ(job.options.source, "");
  EXPECT_EQ(processPaths.logPath, "my.log");
  EXPECT_EQ(job.options.keepDate, 1);
}

// A quoted value keeps its blanks where a switch takes quotes; the filter
// takes none, and a missing closing quote runs to the end of the text.
TEST_F(CommandLineTest, QuotedValuesKeepBlanks) {
  ASSERT_EQ(ParseText("/d=\"C:/My Faxes\" /sd=\"a  b\" /report=\"my runs/r.jsonl\" /q"), 0);
  EXPECT_EQ(job.options.source, "C:/My Faxes");
  EXPECT_EQ(job.options.destination, "a  b");
  EXPECT_EQ(job.options.reportPath, "my runs/r.jsonl");
  EXPECT_EQ(job.options.quiet, 1);

  ASSERT_EQ(ParseText("/filter=\"*.fxd\" /sd=o"), 0);
  EXPECT_EQ(job.options.filter, "\"*.fxd\"");

  ASSERT_EQ(ParseText("/q /sd=\"out folder /i  \t"), 0);
  EXPECT_EQ(job.options.destination, "out folder /i");
  EXPECT_EQ(job.options.includeSubfolders, 0);
}

TEST_F(CommandLineTest, TabsDoNotSplitTokensButSurroundingWhiteSpaceIsTrimmed) {
  EXPECT_EQ(ParseText("/q\t/sd=out"), 126);  // one token that matches nothing
  ASSERT_EQ(ParseText(" \t\r\n/sd=out   /q \n"), 0);
  EXPECT_EQ(job.options.destination, "out");
  EXPECT_EQ(job.options.quiet, 1);
}

// An argument is a whole token, its quotes part of its value: what no text
// form can say.
TEST_F(CommandLineTest, ArgumentsKeepTheirQuotes) {
  ASSERT_EQ(ParseArgs({"/d=My Faxes/In", "/sd=\"quoted\""}), 0);
  EXPECT_EQ(job.options.source, "My Faxes/In");
  EXPECT_EQ(job.options.destination, "\"quoted\"");
}

TEST(ProgramTest, IncompleteCommandLinesConvertNothing) {
  test::ScopedTempDir dir;
  std::string exe = test::BinaryDir() + "/tamarind";
  // Without a display the window cannot open, so the program ends right
  // after the usage text or the message.
  std::string env = "cd " + dir.Path() + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME=" + dir.Path() +
                    " XDG_CONFIG_HOME= XDG_STATE_HOME= timeout 20 ";
  test::CommandResult usage = test::RunCommand(env + exe + " /q /f=x.fxd 2>/dev/null </dev/null");
  EXPECT_NE(usage.exitCode, 0);
  EXPECT_EQ(usage.output.substr(0, sizeof kUsage - 1), kUsage);
  test::CommandResult missing = test::RunCommand(env + exe + " /f=x.fxd /sd= 2>&1 >/dev/null </dev/null");
  EXPECT_NE(missing.exitCode, 0);
  EXPECT_NE(missing.output.find("Please set save folder with '/sd=' or '/sf='"), std::string::npos);
  EXPECT_EQ(test::RunCommand("ls -A " + dir.Path()).output, "");  // nothing converted, nothing logged
  test::CommandResult help = test::RunCommand(exe + " --help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.output.substr(0, sizeof kUsage - 1), kUsage);
  EXPECT_NE(help.output.find("/filter="), std::string::npos);
  test::CommandResult version = test::RunCommand(exe + " --version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.output, std::string(kVersionText) + "\n");
}

// A worker converts with a copy of the run's options: every switch the
// parser set must reach it.
TEST(ConvertInParallelTest, WorkersSeeEveryOptionTheCommandLineSet) {
  ConversionJob job;
  job.Reset();
  const std::vector<std::string> arguments = {"/l",    "/q",      "/ke", "/i", "/kh", "/qa=91", "/filter=*.fx?",
                                              "/d=in", "/sd=out", "/j=3"};
  ASSERT_EQ(ParseArguments(job, arguments), 0);
  ConversionOptions defaults;
  ASSERT_NE(job.options, defaults);
  std::vector<FileTask> tasks = {{"in/a.fxd", "out/a.jpg"}, {"in/b.fxd", "out/b.jpg"}};
  std::mutex mutex;
  std::vector<ConversionOptions> seen;
  ConvertInParallel(job, tasks, 2, [&](ConversionJob& worker, const std::string&, const std::string&) {
    std::lock_guard lock(mutex);
    seen.push_back(worker.options);
    return FileOutcome{};
  });
  EXPECT_THAT(seen, ::testing::ElementsAre(job.options, job.options));
}

}  // namespace
}  // namespace tamarind
