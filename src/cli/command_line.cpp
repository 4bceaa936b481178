// Switch parsing for both forms of the command line: one text with its
// own quoting rules, or arguments already split by the shell. Both go
// through the same switch table.
#include "cli/command_line.h"

#include <algorithm>
#include <string>

#include "batch/file_list.h"
#include "convert/conversion_job.h"
#include "convert/output_names.h"
#include "convert/process.h"
#include "platform/console.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

enum class Match { WholeToken, Prefix };

// What a switch handler sees of one parse.
struct Parse {
  ConversionOptions& options;
  ParseDiagnostics& diagnostics;
};

struct Switch {
  std::string_view name;
  Match match;
  bool quotable;  // the value may be given in double quotes (text form)
  void (*apply)(Parse& parse, std::string_view value);
  // --help's entry: the switch as shown, and what it does, one line a
  // "\n". A switch with no entry is described by the one before it.
  std::string_view shown = {};
  std::string_view help = {};
};

template <auto Field>
void SetFlag(Parse& parse, std::string_view) {
  parse.options.*Field = true;
}

template <auto Field>
void SetText(Parse& parse, std::string_view value) {
  parse.options.*Field = value;
}

// Settings kept only so that their switches are accepted.
template <auto Field, auto Value>
void SetDecodingSetting(Parse&, std::string_view) {
  conversionSettings.*Field = Value;
}

template <RunMode Mode>
void SetDestination(Parse& parse, std::string_view value) {
  parse.options.mode = Mode;
  parse.options.destination = value;
}

void SetQuality(Parse& parse, std::string_view value) { parse.options.quality = platform::LeadingInt(value); }

void SetLogPath(Parse&, std::string_view value) {
  processPaths.logPath = value;
  processPaths.logPathIsDefault = false;
}

// A plain decimal count; 0 chooses by the machine. Anything else chooses
// too, with a warning, since the run can still go ahead.
void SetWorkers(Parse& parse, std::string_view value) {
  std::optional<int64_t> count = platform::ParseDecimal(value);
  if (count && *count <= kMaxWorkerSwitch) {
    parse.options.workers = static_cast<int32_t>(*count);
    return;
  }
  parse.options.workers = 0;
  parse.diagnostics.warnings.push_back("/j=" + std::string(value) + " is not a worker count from 0 to " +
                                       std::to_string(kMaxWorkerSwitch) + "; choosing one by the machine");
}

void SetFormat(Parse& parse, std::string_view value) {
  if (std::optional<OutputFormat> format = OutputFormatNamed(value)) {
    parse.options.format = *format;
    return;
  }
  parse.diagnostics.refusals.push_back("/fmt=" + std::string(value) + ": the output format is jpg, pdf or tif");
}

void Refuse(Parse& parse, std::string_view token, std::string_view value, std::string_view expected) {
  parse.diagnostics.refusals.push_back(std::string(token) + std::string(value) + ": " + std::string(expected));
}

template <auto Field, const char* Token>
void SetPath(Parse& parse, std::string_view value) {
  if (value.empty()) return Refuse(parse, Token, value, "a file name is missing (- for the standard stream)");
  parse.options.*Field = value;
}

// "I/N" with 0 <= I < N: a run that took the wrong share of the files
// would convert some twice and others never.
void SetShard(Parse& parse, std::string_view value) {
  const size_t slash = value.find('/');
  std::optional<int64_t> index = platform::ParseDecimal(value.substr(0, slash));
  std::optional<int64_t> count =
      slash == std::string_view::npos ? std::nullopt : platform::ParseDecimal(value.substr(slash + 1));
  if (!index || !count || *count < 1 || *index >= *count)
    return Refuse(parse, "/shard=", value, "not a shard I/N with 0 <= I < N");
  parse.options.shardIndex = *index;
  parse.options.shardCount = *count;
}

void SetWatch(Parse& parse, std::string_view value) {
  std::optional<int64_t> seconds = platform::ParseDecimal(value);
  if (!seconds || *seconds < 1 || *seconds > kMaxWatchSeconds)
    return Refuse(parse, "/watch=", value, "not a number of seconds from 1 to " + std::to_string(kMaxWatchSeconds));
  parse.options.watchSeconds = static_cast<int32_t>(*seconds);
}

constexpr char kFilesFromToken[] = "/files-from=";
constexpr char kReportToken[] = "/report=";

// "/ocr" alone reads English; "/ocr=deu+eng" names the languages, whose
// data is checked when the run starts.
void SetTextRecognition(Parse& parse, std::string_view languages) {
  parse.options.recognizeText = true;
  if (!languages.empty()) parse.options.ocrLanguages = languages;
}

using O = ConversionOptions;
using S = ConversionSettings;

// The first match wins; no name is a prefix of another's token today
// ("/l" and "/q" match whole tokens only). The order is --help's.
constexpr Switch kSwitches[] = {
    {"/f=", Match::Prefix, true, SetText<&O::source>, "/f=FILE", "source file (single-file mode, with /sf=)"},
    {"/sf=", Match::Prefix, true, SetDestination<RunMode::SingleFile>, "/sf=JPEG",
     "destination JPEG file; several pages give JPEG001.jpg, JPEG002.jpg, ..."},
    {"/d=", Match::Prefix, true, SetText<&O::source>, "/d=FOLDER", "source folder (folder mode, with /sd=)"},
    {"/sd=", Match::Prefix, true, SetDestination<RunMode::Folder>, "/sd=FOLDER",
     "destination folder; outputs are named after the sources"},
    {"/filter=", Match::Prefix, false, SetText<&O::filter>, "/filter=PAT",
     "file-name pattern of the folder walk, * and ? (default *.*)"},
    {"/i", Match::WholeToken, false, SetFlag<&O::includeSubfolders>, "/i", "include subfolders"},
    {"/kh", Match::WholeToken, false, SetFlag<&O::keepHierarchy>, "/kh",
     "keep the source folder hierarchy in the destination"},
    {"/ke", Match::WholeToken, false, SetFlag<&O::keepExtension>, "/ke",
     "keep the source extension in the output name (a.fxd.jpg)"},
    {"/l", Match::WholeToken, false, SetFlag<&O::keepDate>, "/l",
     "copy the source file's date and time onto the outputs"},
    {"/qa=", Match::Prefix, false, SetQuality, "/qa=N", "JPEG quality, 1 to 100 (default 50)"},
    {"/o", Match::WholeToken, false, SetFlag<&O::optimize>, "/o", "optimised Huffman tables (always on)"},
    {"/q", Match::WholeToken, false, SetFlag<&O::quiet>, "/q", "quiet: do not print the results"},
    {"/log=", Match::Prefix, true, SetLogPath, "/log=FILE",
     "append the report to FILE instead of the default log; a device\n(/dev/null) keeps none"},
    {"/j=", Match::Prefix, false, SetWorkers, "/j=N",
     "convert N files at once (default, and 0: one per processor thread)"},
    {"/fmt=", Match::Prefix, false, SetFormat, "/fmt=jpg|pdf|tif",
     "jpg: one JPEG per page (default); pdf: one PDF/A document per fax;\ntif: one multi-page TIFF per fax "
     "(both lossless Group 4, at the page's size)"},
    {"/embed", Match::WholeToken, false, SetFlag<&O::embedSource>, "/embed",
     "with /fmt=pdf: the PDF carries the fax file itself, byte for byte, as its\nsource (PDF/A-3b; pdfdetach -save 1 "
     "gives it back)"},
    {"/skip", Match::WholeToken, false, SetFlag<&O::skipExisting>, "/skip",
     "leave outputs that exist, are not empty and are not older than their fax"},
    {"/ocr", Match::WholeToken, false, SetTextRecognition, "/ocr, /ocr=LANG",
     "recognise the text of every page (Tesseract; LANG: codes joined by +,\ndefault eng): an invisible text "
     "layer in PDFs, NAME.txt beside JPEGs\nand TIFFs (pages separated by form feeds)"},
    {"/ocr=", Match::Prefix, false, SetTextRecognition},
    {"/sync", Match::WholeToken, false, SetFlag<&O::sync>, "/sync",
     "flush each output and its folder to the disk before it takes its name,\nso a power cut leaves the old "
     "file or the new one whole (slower)"},
    {kFilesFromToken, Match::Prefix, true, SetPath<&O::filesFrom, kFilesFromToken>, "/files-from=LIST",
     "convert the files LIST names (- for standard input), one per line, or\nNUL-separated when it holds a "
     "NUL; with /d= they are relative to it (/kh\nmirrors their folders), without it outputs go flat into /sd="},
    {"/shard=", Match::Prefix, false, SetShard, "/shard=I/N",
     "only the files whose FNV-1a hash of the path relative to the source\nfolder, modulo N, is I (0 <= I < N): "
     "N runs convert each file once"},
    {kReportToken, Match::Prefix, true, SetPath<&O::reportPath, kReportToken>, "/report=FILE",
     "JSON lines: one object per file (source, header, outputs, pages, missing,\nstatus, reason, seconds), then a "
     "summary; - for standard output (names\nin /dev and /proc are refused), the usual report then going to\n"
     "standard error"},
    {"/watch=", Match::Prefix, false, SetWatch, "/watch=SECONDS",
     "after the first pass, rescan the folder every SECONDS and convert new and\nchanged files that stayed alike "
     "over one period; Ctrl-C or SIGTERM ends\nit after the files in progress"},
    {"/b=0", Match::WholeToken, false, SetDecodingSetting<&S::bitOrder, 0>, "/b=0..2 /v=0..4 /m=0..2 /raw /relines",
     "accepted for compatibility; WinFax pages carry their own settings"},
    {"/b=1", Match::WholeToken, false, SetDecodingSetting<&S::bitOrder, 1>},
    {"/b=2", Match::WholeToken, false, SetDecodingSetting<&S::bitOrder, 2>},
    {"/v=0", Match::WholeToken, false, SetDecodingSetting<&S::verticalResolution, 0>},
    {"/v=1", Match::WholeToken, false, SetDecodingSetting<&S::verticalResolution, 100>},
    {"/v=2", Match::WholeToken, false, SetDecodingSetting<&S::verticalResolution, 200>},
    {"/v=3", Match::WholeToken, false, SetDecodingSetting<&S::verticalResolution, 300>},
    {"/v=4", Match::WholeToken, false, SetDecodingSetting<&S::verticalResolution, 400>},
    {"/m=0", Match::WholeToken, false, SetDecodingSetting<&S::lineMode, 0>},
    {"/m=1", Match::WholeToken, false, SetDecodingSetting<&S::lineMode, 1>},
    {"/m=2", Match::WholeToken, false, SetDecodingSetting<&S::lineMode, 2>},
    {"/raw", Match::WholeToken, false, SetDecodingSetting<&S::raw, 1>},
    {"/relines", Match::WholeToken, false, SetDecodingSetting<&S::recalcLines, 1>},
};

const Switch* FindSwitch(std::string_view token) {
  for (const Switch& s : kSwitches) {
    if (s.match == Match::WholeToken ? platform::EqualsIgnoringCase(token, s.name)
                                     : platform::EqualsIgnoringCase(token.substr(0, s.name.size()), s.name)) {
      return &s;
    }
  }
  return nullptr;
}

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsWhiteSpace(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

// What every parse clears before it reads a single token: all but the
// quality, the filter and the paths, which keep what Reset gave them.
void ResetParsedOptions(ConversionOptions& options) {
  ConversionOptions parsed;
  parsed.quality = options.quality;
  parsed.filter = std::move(options.filter);
  parsed.source = std::move(options.source);
  parsed.destination = std::move(options.destination);
  options = std::move(parsed);
  conversionSettings.raw = 0;
  conversionSettings.recalcLines = 0;
}

// Switches that only a folder run can follow, and a hierarchy that a list
// without a source folder does not have.
void CheckCombinations(ConversionOptions& options, ParseDiagnostics& diagnostics) {
  const bool folderOnly = !options.filesFrom.empty() || options.shardCount > 1 || options.watchSeconds > 0;
  if (options.mode == RunMode::SingleFile && folderOnly)
    diagnostics.refusals.push_back("/files-from=, /shard= and /watch= need a folder run (/sd=), not /sf=");
  if (options.watchSeconds > 0 && !options.filesFrom.empty())
    diagnostics.refusals.push_back("/watch= rescans the /d= folder and cannot follow /files-from=");
  if (!options.filesFrom.empty() && options.source.empty() && options.keepHierarchy) {
    options.keepHierarchy = false;
    diagnostics.warnings.push_back("/kh needs /d= with /files-from=; the outputs go flat into /sd=");
  }
}

// The list is read with the parse, so that one it cannot read stops the
// run before anything is converted, as a refused switch does.
void ReadListedFiles(const ConversionOptions& options, ParseDiagnostics& diagnostics, std::vector<std::string>& files) {
  if (options.filesFrom.empty() || options.mode != RunMode::Folder || options.destination.empty()) return;
  // Only the run's own shard is kept, so a cluster's one list costs each
  // machine its share.
  const Shard shard{static_cast<uint64_t>(options.shardIndex), static_cast<uint64_t>(options.shardCount)};
  auto listed = ReadFileList(options.filesFrom, options.source, shard);
  if (!listed) {
    // A list past a limit is refused with the limit, one that cannot be
    // read with the system's reason.
    diagnostics.refusals.push_back(
        std::string(kFilesFromToken) + options.filesFrom + ": " +
        (listed.error() == 0 ? listed.reason() : "the list cannot be read (" + listed.reason() + ")"));
    return;
  }
  files = std::move(*listed);
}

int Conclude(ConversionOptions& options, ParseDiagnostics& diagnostics, std::vector<std::string>& files) {
  CheckCombinations(options, diagnostics);
  if (diagnostics.refusals.empty()) ReadListedFiles(options, diagnostics, files);
  // A switch the user typed wrong must never run with a guess, nor open
  // the window.
  if (!diagnostics.refusals.empty()) return kParseRefused;
  if (options.mode == RunMode::None) {
    platform::WriteOut(UsageText());
    return 126;
  }
  if (options.destination.empty()) {
    platform::WriteErr(std::string(kMissingDestinationCaption) + ": " + std::string(kMissingDestinationMessage) + "\n");
    return 126;
  }
  return 0;
}

// One entry of --help: the switch in a column of its own, its text
// beside it, or below it when the switch is too wide for the column.
void AppendHelpEntry(std::string& text, std::string_view shown, std::string_view help) {
  constexpr size_t kColumn = 17;
  text += "  ";
  text += shown;
  if (shown.size() + 3 > kColumn) {
    text += "\n" + std::string(kColumn, ' ');
  } else {
    text.append(kColumn - 2 - shown.size(), ' ');
  }
  for (size_t start = 0; start <= help.size();) {
    const size_t end = std::min(help.find('\n', start), help.size());
    if (start > 0) text.append(kColumn, ' ');
    text.append(help.substr(start, end - start)).append("\n");
    start = end + 1;
  }
}

std::string MakeHelpText() {
  std::string text = std::string(UsageText()) +
                     "\n"
                     "Converts WinFax page files (.fxd, .fxm, .fxr, .fxs) into JPEG images, one per fax page.\n"
                     "Without switches (or without /sf= or /sd=) the window opens instead; a fax file as the\n"
                     "only argument opens it with that file as the source.\n"
                     "\n";
  for (const Switch& s : kSwitches) {
    if (!s.shown.empty()) AppendHelpEntry(text, s.shown, s.help);
  }
  AppendHelpEntry(text, "/?, -h, --help", "this text");
  AppendHelpEntry(text, "--version", "the version");
  AppendHelpEntry(text, "--thumbnail INPUT OUTPUT SIZE",
                  "write the first page of the fax INPUT as a PNG named OUTPUT, at most SIZE\n"
                  "pixels on its longer side, with square pixels (file managers' previews)");
  AppendHelpEntry(text, "--info [--json] FILE",
                  "describe the fax FILE without converting it: each page's size, resolution,\n"
                  "coding and header text (the text the sender's fax software put in the\n"
                  "page's header); --json: as one JSON object");
  text += "\n"
          "Exit status:\n"
          "  0   every file converted or skipped\n"
          "  2   a file, a page or the source folder failed (a fax that lost a page is failed);\n"
          "      --thumbnail: no thumbnail written; --info: FILE is no fax\n"
          "  3   the window cannot open (no display, or a build without it)\n"
          "  64  a switch was refused, the file list cannot be read, or the report or log names an\n"
          "      input or an output of the run; nothing converted (also --thumbnail or --info\n"
          "      without their arguments)\n";
  return text;
}

}  // namespace

bool IsSwitch(std::string_view token) { return FindSwitch(token) != nullptr; }

std::string_view UsageText() {
  return "Usage: tamarind [/q /l] [/b=0 /v=0] /f=source-file /sf=dest-jpeg-file\n"
         "or\n"
         "Usage: tamarind [/q /l] [/b=0 /v=0] /d=source-directory /sd=dest-directory [/filter=]\n";
}

std::string_view HelpText() {
  static const std::string text = MakeHelpText();
  return text;
}

int ParseCommandLine(ConversionJob& job, std::optional<std::string_view> text) {
  ResetParsedOptions(job.options);
  job.parseDiagnostics = {};
  Parse parse{job.options, job.parseDiagnostics};
  if (!text) return -1;
  if (text->empty()) return -2;

  std::string normalized(TrimRight(*text));
  normalized += ' ';
  std::string_view rest = TrimLeft(normalized);
  for (size_t blank = rest.find(' '); blank != std::string_view::npos && blank > 0; blank = rest.find(' ')) {
    std::string_view token = rest.substr(0, blank);
    size_t consumed = blank + 1;
    if (const Switch* s = FindSwitch(token)) {
      std::string_view value = token.substr(s->name.size());
      if (s->quotable && !value.empty() && value.front() == '"') {
        size_t open = s->name.size() + 1;
        size_t close = rest.find('"', open);
        if (close == std::string_view::npos) {
          // No closing quote: the value runs to the end of the text.
          value = rest.substr(open, rest.size() - 1 - open);
          consumed = rest.size();
        } else {
          value = rest.substr(open, close - open);
          consumed = std::min(close + 2, rest.size());
        }
      }
      s->apply(parse, value);
    }
    rest = TrimLeft(rest.substr(consumed));
  }
  return Conclude(job.options, job.parseDiagnostics, job.files);
}

int ParseArguments(ConversionJob& job, std::span<const std::string> arguments) {
  ResetParsedOptions(job.options);
  job.parseDiagnostics = {};
  Parse parse{job.options, job.parseDiagnostics};
  if (arguments.empty()) return -1;
  if (std::all_of(arguments.begin(), arguments.end(), [](const std::string& a) { return a.empty(); })) return -2;
  for (const std::string& token : arguments) {
    if (const Switch* s = FindSwitch(token)) s->apply(parse, std::string_view(token).substr(s->name.size()));
  }
  return Conclude(job.options, job.parseDiagnostics, job.files);
}

}  // namespace tamarind
