// The command line's two forms against each other: fuzzed switches and
// words, given as the shell splits them and as one text (values with
// blanks in double quotes, where a switch takes them so), must give the
// same options, file list, refusals, warnings and result. A shard or a
// rescan period that is not one refuses the command line; the last shard
// given is the one taken.
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "convert/conversion_job.h"
#include "convert/process.h"
#include "fuzz_input.h"
#include "platform/string_extras.h"

namespace {

using std::string_view;
using tamarind::fuzz::Expect;

// The switches' names, and whether the text form takes a value in quotes.
constexpr std::array<std::pair<string_view, bool>, 28> kSwitches{{
    {"/f=", true},    {"/sf=", true},   {"/d=", true},      {"/sd=", true},      {"/filter=", false}, {"/i", false},
    {"/kh", false},   {"/ke", false},   {"/l", false},      {"/qa=", false},     {"/o", false},       {"/q", false},
    {"/log=", true},  {"/j=", false},   {"/fmt=", false},   {"/embed", false},   {"/skip", false},    {"/ocr", false},
    {"/ocr=", false}, {"/sync", false}, {"/shard=", false}, {"/report=", true},  {"/watch=", false},  {"/b=1", false},
    {"/v=4", false},  {"/m=2", false},  {"/raw", false},    {"/relines", false},
}};
constexpr string_view kFilesFrom = "/files-from=";

struct Parsed {
  int result = 0;
  tamarind::ConversionOptions options;
  std::vector<std::string> files;
  std::vector<std::string> refusals, warnings;
  std::string log;
  std::array<int, 5> settings{};
  bool operator==(const Parsed&) const = default;
};

// Parses with the process-wide settings fresh, and with what the parse
// prints (usage, a missing destination) out of the fuzzer's log.
template <typename Parse>
Parsed Run(Parse parse) {
  tamarind::processPaths = {};
  tamarind::conversionSettings = {};
  tamarind::ConversionJob job;
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  const int quiet = open("/dev/null", O_WRONLY);
  dup2(quiet, STDERR_FILENO);
  const int result = parse(job);
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  close(quiet);
  const tamarind::ConversionSettings& s = tamarind::conversionSettings;
  return {result,
          job.options,
          job.files,
          job.parseDiagnostics.refusals,
          job.parseDiagnostics.warnings,
          tamarind::processPaths.logPath,
          {s.bitOrder, s.verticalResolution, s.lineMode, s.raw, s.recalcLines}};
}

bool Blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// |token| as the text form writes it: a switch that takes a quoted value
// has one with blanks quoted; nullopt when the text form cannot say it.
std::optional<std::string> Spoken(const std::string& token) {
  const bool blanks = std::any_of(token.begin(), token.end(), Blank);
  for (const auto& [name, quotable] : kSwitches) {
    if (!quotable || !tamarind::platform::StartsWithIgnoringCase(token, name)) continue;
    const std::string value = token.substr(name.size());
    if (!blanks && !value.starts_with('"')) return token;
    if (value.find('"') != std::string::npos) return std::nullopt;
    return token.substr(0, name.size()) + '"' + value + '"';
  }
  if (blanks) return std::nullopt;
  return token;
}

std::optional<int64_t> Decimal(string_view text) {
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || text.front() == '-')
    return std::nullopt;
  return value;
}

// A /shard= or /watch= that is not well formed refuses the command line;
// else the last shard is taken.
void CheckNumbers(const std::vector<std::string>& tokens, const Parsed& parsed) {
  std::array<int64_t, 2> shard{0, 1};
  for (const std::string& token : tokens) {
    if (tamarind::platform::StartsWithIgnoringCase(token, "/shard=")) {
      const string_view value = string_view(token).substr(7);
      const size_t slash = value.find('/');
      const auto index = Decimal(value.substr(0, slash));
      const auto count = slash == string_view::npos ? std::nullopt : Decimal(value.substr(slash + 1));
      if (!index || !count || *count < 1 || *index >= *count)
        Expect(parsed.result == tamarind::kParseRefused, "a shard that is not I/N is refused");
      else shard = {*index, *count};
    } else if (tamarind::platform::StartsWithIgnoringCase(token, "/watch=")) {
      const auto seconds = Decimal(string_view(token).substr(7));
      if (!seconds || *seconds < 1 || *seconds > tamarind::kMaxWatchSeconds)
        Expect(parsed.result == tamarind::kParseRefused, "a period out of range is refused");
    }
  }
  const tamarind::ConversionOptions& o = parsed.options;
  Expect(parsed.result == tamarind::kParseRefused || (o.shardIndex == shard[0] && o.shardCount == shard[1]),
         "a command line taken holds its last shard");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tamarind::fuzz::ScratchFolder scratch("fuzz-command-line");
  static const std::string list = [] {
    const std::string path = scratch.File("list");
    const string_view names = "a.fxd\n./sub/b.fxd\r\n";
    tamarind::fuzz::WriteBytes(path, std::span(reinterpret_cast<const uint8_t*>(names.data()), names.size()));
    std::fflush(stdout);
    Expect(std::freopen("/dev/null", "w", stdout) != nullptr, "standard output goes nowhere");
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<uintptr_t>(dup(STDERR_FILENO))));
    return path;
  }();
  FuzzedDataProvider in(data, size);
  std::vector<std::string> tokens;
  std::string text;
  while (in.remaining_bytes() > 0 && tokens.size() < 12) {
    std::string token;
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0: token = in.ConsumeRandomLengthString(24); break;
      case 1: token = std::string(kFilesFrom) + list; break;
      default:
        token = kSwitches[in.ConsumeIntegralInRange<size_t>(0, kSwitches.size() - 1)].first;
        if (in.ConsumeBool()) token += in.ConsumeRandomLengthString(24);
    }
    // A list is read as the parse goes: only the scratch one.
    if (tamarind::platform::StartsWithIgnoringCase(token, kFilesFrom) && token != std::string(kFilesFrom) + list)
      return 0;
    const std::optional<std::string> spoken = Spoken(token);
    if (!spoken) continue;
    tokens.push_back(token);
    text += (text.empty() ? "" : " ") + *spoken;
  }
  if (std::all_of(tokens.begin(), tokens.end(), [](const std::string& t) { return t.empty(); })) return 0;

  const Parsed split = Run([&](tamarind::ConversionJob& job) { return tamarind::ParseArguments(job, tokens); });
  const Parsed whole = Run([&](tamarind::ConversionJob& job) { return tamarind::ParseCommandLine(job, text); });
  Expect(split == whole, "both forms of a command line say the same");
  CheckNumbers(tokens, split);
  return 0;
}
