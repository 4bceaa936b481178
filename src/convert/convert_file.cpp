// One fax file into one JPEG per page, or into one PDF or TIFF.
#include <algorithm>
#include <memory>
#include <optional>

#include "codec/bmp/page_bmp.h"
#include "codec/jpeg/bilevel_jpeg.h"
#include "codec/jpeg/jpeg_writer.h"
#include "convert/conversion_job.h"
#include "convert/document_output.h"
#include "convert/fax_text.h"
#include "convert/output_names.h"
#include "faxdoc/fax_document.h"
#include "faxdoc/format_code.h"
#include "faxdoc/winfax_reader.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kJpegFailedLine = "Failed :  Error in converting FAX to JPEG!\r\n";
constexpr std::string_view kExceptionLine = "Exception : Failed in FAX to JPEG conversion\r\n";
constexpr std::string_view kPageIndent = "        page ";

// A name as the report and the log show it: control bytes escaped, so a
// file name can never forge a line.
std::string Shown(std::string_view name) { return platform::EscapeControlBytes(name); }

// An output that a run skipping existing files may leave alone: readable,
// not empty, and written after the source last changed.
bool UpToDate(const std::string& output, const platform::FileTime& sourceModified) {
  if (!ConversionJob::OutputExists(output)) return false;
  auto status = platform::StatusOf(output);
  return status && status->modified >= sourceModified;
}

}  // namespace

int CreateFolderTree(const std::string& path) { return platform::MakeFolders(path) ? 1 : 0; }

// Looks without opening: a FIFO or a device at an output's name would make
// an open wait, or read forever. Only a regular file counts.
bool ConversionJob::OutputExists(const std::string& path) {
  auto status = platform::StatusOf(path);
  return status && status->regular && status->size > 0;
}

int ConversionJob::CopyFileTimes(const std::string& sourcePath, const std::string& outputPath) {
  auto source = platform::StatusOf(sourcePath);
  if (!source) return -1;
  return platform::SetFileTimes(outputPath, source->accessed, source->modified) ? 0 : -2;
}

// The work of one ConvertFile call from the prefix on; the document lives
// exactly as long as this object.
class ConversionJob::FileConversion {
 public:
  FileConversion(ConversionJob& job, const std::string& source, const std::string& destination)
      : job_(job),
        source_(source),
        destination_(destination),
        shownSource_(Shown(source)),
        document_(std::make_unique<FaxDocument>()) {}

  int Run() {
    if (job_.options.skipExisting && AlreadyConverted()) {
      Say("Skipped : " + Shown(destination_) + " already exist!\r\n");
      return kSkipped;
    }
    if (!MakeOutputFolder()) return kFolderNotCreated;
    if (!Loaded()) {
      Say("Failed : " + shownSource_ + " - Not Fax\r\n");
      const std::string& why = document_->LoadFailure();
      Because(why.empty() ? source_ + ": no fax page could be read" : why);
      return kNotFax;
    }
    StartTextRecognition();
    int result = job_.options.format == OutputFormat::Jpeg ? ConvertPages() : ConvertDocument();
    if (text_.Enabled()) FinishText();
    if (job_.options.keepDate) KeepDates();
    return result;
  }

  // A page or a date copy failed although the result may still be 0.
  bool PartlyFailed() const { return partlyFailed_; }

 private:
  void Say(std::string_view text) { job_.report += text; }
  // The first reason is the one the user needs; later ones follow from it
  // or repeat it.
  void Because(std::string reason) {
    if (outcome().reason.empty()) outcome().reason = std::move(reason);
  }
  FileOutcome& outcome() { return job_.lastOutcome; }

  bool Loaded() {
    if (!loadTried_) {
      document_->Load(source_, kWinFaxFormat);
      loadTried_ = true;
    }
    return document_->IsLoaded();
  }

  // Skipped only when every page file this source would give exists, is not
  // empty and is newer than the source; that needs the page count, so the
  // page chain is read (no page decoded: a rerun over a converted archive
  // must cost little) unless neither possible first output is there.
  bool AlreadyConverted() {
    auto source = platform::StatusOf(source_);
    if (!source) return false;
    const auto& modified = source->modified;
    if (job_.options.format != OutputFormat::Jpeg) return UpToDate(destination_, modified);
    if (!UpToDate(destination_, modified) && !UpToDate(PageFileNames(destination_, 2).front(), modified))
      return false;
    WinFaxReader reader;
    if (!reader.Open(source_)) return false;
    const uint16_t pages = reader.CountPages();
    std::vector<std::string> names = PageFileNames(destination_, pages);
    for (const std::string& name : names)
      if (!UpToDate(name, modified)) return false;
    outcome().pages = pages;
    outcome().outputs = std::move(names);
    return true;
  }

  // The output's part below the run's destination folder, when it has one
  // and the output lies below it: such outputs are made through its
  // handle, never through a link planted below it.
  std::optional<std::string_view> BelowRoot(std::string_view path) const {
    const platform::OutputFolder* root = job_.outputRoot.get();
    if (!root) return std::nullopt;
    const std::string prefix = platform::JoinPath(root->Path(), "");
    if (prefix.empty() || !path.starts_with(prefix)) return std::nullopt;
    return path.substr(prefix.size());
  }

  bool MakeOutputFolder() {
    size_t cut = destination_.rfind(platform::kSeparator);
    if (cut == std::string::npos || cut == 0) return true;  // current folder or the root
    std::string folder = destination_.substr(0, cut);
    platform::Status made;
    if (std::optional<std::string_view> below = BelowRoot(destination_))
      made = job_.outputRoot->MakeFoldersBeneath(platform::FolderOf(*below));
    else
      made = platform::MakeFolders(folder);
    if (made) return true;
    Say("Failed to create dir: " + Shown(folder) + "\r\n");
    Because(made.reason());
    return false;
  }

  platform::Expected<std::unique_ptr<platform::AtomicOutputFile>> CreateOutput(const std::string& path) const {
    const platform::OutputOptions options{.sync = job_.options.sync};
    if (std::optional<std::string_view> below = BelowRoot(path))
      return platform::AtomicOutputFile::Create(*job_.outputRoot, *below, options);
    return platform::AtomicOutputFile::Create(path, options);
  }

  void StartTextRecognition() {
    if (!job_.options.recognizeText) return;
    std::string why;
    ocr::OcrEngine* engine = job_.TextRecognizer(&why);
    text_ = FaxText(engine, why);
  }

  // What a page's line adds when its text could not be read.
  std::string TextNote(unsigned page) const {
    const std::vector<unsigned>& missing = text_.Unrecognised();
    return std::find(missing.begin(), missing.end(), page) != missing.end() ? " (text not recognised)" : "";
  }

  // NAME.txt beside the outputs: the pages' text, PDFs excepted (their text
  // is inside them). A page whose text could not be read fails the file.
  void FinishText() {
    outcome().pagesRecognised = text_.PagesRead();
    if (!text_.Unrecognised().empty()) {
      partlyFailed_ = true;
      Because(source_ + ": " + text_.Reason());
    }
    if (job_.options.format == OutputFormat::Pdf || outcome().outputs.empty()) return;
    const std::string name = TextFileFor(destination_);
    platform::Status written = WriteText(name, text_.Joined());
    if (written) {
      outcome().outputs.push_back(name);
      return;
    }
    Say("Failed to write text: " + Shown(name) + std::string(kLineEnd));
    Because(written.reason());
    partlyFailed_ = true;
  }

  platform::Status WriteText(const std::string& path, const std::string& text) const {
    auto file = CreateOutput(path);
    if (!file) return std::move(file).failure();
    std::fwrite(text.data(), 1, text.size(), (*file)->Stream());
    return (*file)->Commit();
  }

  int ConvertPages() {
    std::vector<std::string> names = PageFileNames(destination_, document_->PageCount());
    outcome().pages = document_->PageCount();
    bool multiPage = names.size() > 1;
    int result = kConverted;
    for (size_t i = 0; i < names.size(); ++i) {
      if (i > 0) document_->DecodePage(kWinFaxFormat, static_cast<int>(i));
      const unsigned number = static_cast<unsigned>(i + 1);
      if (document_->Page().height > 0) text_.Recognise(document_->Page(), number);
      result = WritePage(names[i]);
      if (result != kConverted) {
        partlyFailed_ = true;
        continue;
      }
      outcome().outputs.push_back(names[i]);
      if (!multiPage) {
        Say("Success !" + TextNote(number) + std::string(kLineEnd));
        continue;
      }
      // The header only ever comes with the first page's success line.
      if (i == 0) Say("Multiple pages as following :\r\n");
      Say(std::string(kPageIndent) + PageNumber(number) + " --> " + Shown(names[i]) + " : Success !" +
          TextNote(number) + std::string(kLineEnd));
    }
    return result;
  }

  // Every page into one PDF or TIFF at the destination; one report line
  // for the fax.
  int ConvertDocument() {
    auto source = platform::StatusOf(source_);
    DocumentInfo info{std::string(LastComponent(source_)), source ? source->modified : platform::FileTime{}};
    outcome().pages = document_->PageCount();
    auto file = CreateOutput(destination_);
    if (!file) {
      Say(DocumentFailedLine());
      Because(file.reason());
      partlyFailed_ = true;
      return kJpegFailed;
    }
    DocumentOutcome written = WriteFaxDocument(*document_, job_.options.format, **file, info, text_);
    if (written.written) outcome().outputs.push_back(destination_);
    // A page's failure is named after the fax; the output's names itself.
    if (!written.reason.ok()) Because(std::move(written.reason).failure().WithPath(source_).message());
    if (written.written && written.missingPages.empty()) {
      Say("Success !" + UnrecognisedPagesNote() + std::string(kLineEnd));
      return kConverted;
    }
    partlyFailed_ = true;
    if (!written.written) {
      Say(DocumentFailedLine());
      return kJpegFailed;
    }
    Say("Failed : " + shownSource_ + " - " + MissingPagesText(written.missingPages) + "\r\n");
    return kJpegFailed;
  }

  // " (text of page 002 not recognised)" on a document's line.
  std::string UnrecognisedPagesNote() const {
    const std::vector<unsigned>& missing = text_.Unrecognised();
    if (missing.empty()) return "";
    std::string note = missing.size() == 1 ? " (text of page " : " (text of pages ";
    for (size_t i = 0; i < missing.size(); ++i) note += (i ? ", " : "") + PageNumber(missing[i]);
    return note + " not recognised)";
  }

  std::string DocumentFailedLine() const {
    return job_.options.format == OutputFormat::Pdf ? "Failed :  Error in converting FAX to PDF!\r\n"
                                                    : "Failed :  Error in converting FAX to TIFF!\r\n";
  }

  // "page 002 missing", "pages 002, 005 missing": the document holds the
  // others.
  std::string MissingPagesText(const std::vector<unsigned>& missing) const {
    std::string text = missing.size() == 1 ? "page " : "pages ";
    for (size_t i = 0; i < missing.size(); ++i) text += (i ? ", " : "") + PageNumber(missing[i]);
    return text + " of " + std::to_string(document_->PageCount()) + " missing";
  }

  // The current page into |jpegPath|, straight from its bitmap. A page the
  // bilevel encoder does not take goes the way every page once went,
  // through the private BMP and libjpeg, which report it as they always
  // have.
  int WritePage(const std::string& jpegPath) {
    const ConversionOptions& options = job_.options;
    std::optional<BilevelJpeg> jpeg = BilevelJpeg::Prepare(document_->Page(), options.quality, options.optimize);
    if (!jpeg) return WritePageThroughBmp(jpegPath);
    return WriteJpeg(jpegPath, [&](platform::AtomicOutputFile& output, platform::Status* cause) {
      return WriteBilevelJpeg(*jpeg, output, cause);
    });
  }

  // A BMP that could not be written is never handed on: it may still hold
  // an earlier page.
  int WritePageThroughBmp(const std::string& jpegPath) {
    std::string why;
    platform::PrivateTempFile* bmp = job_.TempBmp(&why);
    platform::Status prepared;
    if (const int bmpResult = bmp ? WritePageBmp(document_->Page(), *bmp, &prepared) : 0; !bmp || bmpResult != 0) {
      Say("Failed : " + shownSource_ + " - Error in preparing jpeg\r\n");
      Because(!bmp ? why : PreparationFailure(jpegPath, bmpResult, prepared));
      return kJpegFailed;
    }
    const ConversionOptions& options = job_.options;
    return WriteJpeg(jpegPath, [&](platform::AtomicOutputFile& output, platform::Status* cause) {
      return WriteJpegFromBmp(*bmp, output, options.quality, true, options.optimize, cause);
    });
  }

  // Makes the output and has |write| fill and commit it (0 when it did).
  template <typename Write>
  int WriteJpeg(const std::string& jpegPath, Write write) {
    auto output = CreateOutput(jpegPath);
    if (!output) {
      Say(kJpegFailedLine);
      Because(output.reason());
      return kJpegFailed;
    }
    platform::Status written;
    if (write(**output, &written) != 0) {
      Say(kJpegFailedLine);
      Because(written.reason());
      return kJpegFailed;
    }
    return kConverted;
  }

  // Why the page's image for |jpegPath| could not be made (|bmpResult| as
  // WritePageBmp gives it): no memory, a page too large for the outputs,
  // or the temporary file's own cause (a full disk, a file-size limit).
  static std::string PreparationFailure(const std::string& jpegPath, int bmpResult, const platform::Status& prepared) {
    if (bmpResult == -1) return jpegPath + ": no memory for the page's image";
    if (prepared.ok()) return jpegPath + ": the page is too large to be prepared";
    return platform::Failure::System(jpegPath, prepared.error(), "the page's image in " + prepared.failure().path())
        .message();
  }

  // Only the page files written in this call get the source's times: an
  // older file of the same name is not this conversion's output.
  void KeepDates() {
    for (const std::string& name : outcome().outputs) {
      if (job_.CopyFileTimes(source_, name) == 0) continue;
      Say("Failed to keep date: " + Shown(name) + std::string(kLineEnd));
      Because(name + ": its date cannot be set");
      partlyFailed_ = true;
    }
  }

  ConversionJob& job_;
  const std::string& source_;
  const std::string& destination_;
  const std::string shownSource_;
  std::unique_ptr<FaxDocument> document_;
  FaxText text_;
  bool loadTried_ = false;
  bool partlyFailed_ = false;
};

int ConversionJob::ConvertFile(const std::string& sourcePath, const std::string& destinationPath) {
  lastOutcome = {};
  if (FormatCodeFromExtension(sourcePath) != kWinFaxFormat) {
    lastOutcome.reason = sourcePath + ": not a WinFax file (.fxd, .fxm, .fxr, .fxs)";
    ++failures;
    return kNotWinFax;
  }
  report += Shown(sourcePath) + " --> " + Shown(destinationPath) + " : ";
  // The JPEG would be renamed over the fax it came from.
  if (platform::SameFile(sourcePath, destinationPath)) {
    report += "Failed : " + Shown(destinationPath) + " is the source file\r\n";
    lastOutcome.reason = destinationPath + ": is the source file";
    ++failures;
    return kOutputIsSource;
  }
  int result;
  bool partlyFailed = false;
  try {
    FileConversion conversion(*this, sourcePath, destinationPath);
    result = conversion.Run();
    partlyFailed = conversion.PartlyFailed();
  } catch (const std::exception& error) {
    report += kExceptionLine;
    if (lastOutcome.reason.empty()) lastOutcome.reason = sourcePath + ": " + error.what();
    result = kException;
  } catch (...) {
    report += kExceptionLine;
    result = kException;
  }
  if ((result != kConverted && result != kSkipped) || partlyFailed) ++failures;
  return result;
}

}  // namespace tamarind
