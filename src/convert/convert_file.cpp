// One fax file into one JPEG per page, or into one PDF or TIFF.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

#include "codec/bmp/page_bmp.h"
#include "codec/fax/page_geometry.h"
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
#include "platform/file_handle.h"
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

namespace {

// The access and modification times of |sourcePath| onto |outputPath|; the
// failure names the file and says why.
platform::Status CopyTimes(const std::string& sourcePath, const std::string& outputPath) {
  auto source = platform::StatusOf(sourcePath);
  if (!source) return std::move(source).failure().WithPath(sourcePath);
  return platform::SetFileTimes(outputPath, source->accessed, source->modified);
}

}  // namespace

int ConversionJob::CopyFileTimes(const std::string& sourcePath, const std::string& outputPath) {
  if (!platform::StatusOf(sourcePath)) return -1;
  return CopyTimes(sourcePath, outputPath) ? 0 : -2;
}

// The work of one ConvertFile call from the prefix on: it fills the job's
// lastOutcome as it goes. The document lives exactly as long as this
// object.
class ConversionJob::FileConversion {
 public:
  FileConversion(ConversionJob& job, const std::string& source, const std::string& destination)
      : job_(job),
        source_(source),
        destination_(destination),
        shownSource_(Shown(source)),
        document_(std::make_unique<FaxDocument>()) {}

  // ConvertFile's result: kConverted only when every page was written.
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
    outcome().pages = std::max<int>(document_->ChainedPages(), document_->PageCount());
    outcome().header = document_->HeaderText();
    StartTextRecognition();
    if (job_.options.format == OutputFormat::Jpeg) ConvertPages();
    else ConvertDocument();
    if (stopped_) return Abandoned();
    if (text_.Enabled()) WriteTextFile();
    if (job_.options.keepDate) KeepDates();
    return outcome().pagesMissing.empty() ? kConverted : kJpegFailed;
  }

 private:
  void Say(std::string_view text) { job_.report += text; }
  // The first reason is the one the user needs; later ones follow from it
  // or repeat it.
  void Because(std::string reason) {
    if (outcome().reason.empty()) outcome().reason = std::move(reason);
  }
  FileOutcome& outcome() { return job_.lastOutcome; }

  // Asked before each page: once the run is to stop, the file is given up.
  // Also asked by the threads that read pages side by side, hence atomic.
  bool StopBeforePage() {
    if (!stopped_ && job_.StopRequested()) stopped_ = true;
    return stopped_;
  }

  // The file given up part-way: the pages it had newly made go again (those
  // that replaced an earlier output stay, whole: the earlier one is gone),
  // so a rerun with /skip converts it again; a document was never
  // committed.
  int Abandoned() {
    // A page that cannot be removed stays whole, as one that replaced an
    // earlier output does.
    for (const std::string& name : madeNew_) (void)job_.RemoveOutput(name);
    outcome().outputs.clear();
    outcome().reason = source_ + ": stopped before it was finished";
    Say("Stopped before it was finished\r\n");
    return kStopped;
  }

  bool Loaded() {
    document_->Load(source_, kWinFaxFormat);
    return document_->IsLoaded();
  }

  // Skipped only when every page file this source would give exists, is not
  // empty and is newer than the source; that needs the page count, so the
  // page chain is read (no page decoded: a rerun over a converted archive
  // must cost little) unless neither possible first output is there. A fax
  // longer than the reader keeps never had all its pages written.
  bool AlreadyConverted() {
    auto source = platform::StatusOf(source_);
    if (!source) return false;
    const auto& modified = source->modified;
    if (job_.options.format != OutputFormat::Jpeg) return UpToDate(destination_, modified);
    if (!UpToDate(destination_, modified) && !UpToDate(PageFileNames(destination_, 2).front(), modified)) return false;
    WinFaxReader reader;
    if (!reader.Open(source_)) return false;
    const uint16_t pages = reader.CountPages();
    if (reader.ChainedPages() > pages) return false;
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
    std::string folder(platform::FolderOf(destination_));
    // The current folder, or a root ("/", "C:\").
    if (folder.size() == platform::RootLength(destination_)) return true;
    platform::Status made;
    if (std::optional<std::string_view> below = BelowRoot(destination_))
      made = job_.outputRoot->MakeFoldersBeneath(platform::FolderOf(*below));
    else made = platform::MakeFolders(folder);
    if (made) return true;
    Say("Failed to create dir: " + Shown(folder) + "\r\n");
    Because(made.reason());
    return false;
  }

  platform::Expected<std::unique_ptr<platform::AtomicOutputFile>> CreateOutput(const std::string& path) const {
    const platform::OutputOptions options{.sync = job_.options.sync, .calls = job_.systemCalls};
    if (std::optional<std::string_view> below = BelowRoot(path))
      return platform::AtomicOutputFile::Create(*job_.outputRoot, *below, options);
    return platform::AtomicOutputFile::Create(path, options);
  }

  // ---- Text ------------------------------------------------------------------

  void StartTextRecognition() {
    if (job_.options.recognizeText) text_ = FaxText(job_.TextRecognizer());
    // Asked between the pages of a document and while a page is read.
    text_.StopWhen([this] { return StopBeforePage(); });
    if (!job_.options.recognizeText || job_.options.format == OutputFormat::Jpeg) return;
    // The slow stage: a document's pages are read side by side on the
    // run's spare workers, while this conversion lasts.
    borrowed_.emplace(job_.spareWorkers, document_->PageCount() - 1);
    if (borrowed_->count() > 0) text_.SetHelpers(job_.HelperRecognizers(borrowed_->count()));
  }

  // What a page's line adds when its text could not be read.
  std::string TextNote(unsigned page) const {
    const auto listed = [page](const std::vector<unsigned>& pages) {
      return std::find(pages.begin(), pages.end(), page) != pages.end();
    };
    if (listed(text_.TooLarge())) return " (text not recognised: too large)";
    return listed(text_.Unrecognised()) ? " (text not recognised)" : "";
  }

  // NAME.txt beside the outputs: the pages' text, PDFs excepted (their text
  // is inside them).
  void WriteTextFile() {
    if (job_.options.format == OutputFormat::Pdf || outcome().outputs.empty()) return;
    const std::string name = TextFileFor(destination_);
    platform::Status written = WriteText(name, text_.Joined());
    if (written) {
      outcome().outputs.push_back(name);
      return;
    }
    Say("Failed to write text: " + Shown(name) + std::string(kLineEnd));
    Because(written.reason());
    ++outcome().extrasFailed;
  }

  platform::Status WriteText(const std::string& path, const std::string& text) const {
    auto file = CreateOutput(path);
    if (!file) return std::move(file).failure();
    std::fwrite(text.data(), 1, text.size(), (*file)->Stream());
    return (*file)->Commit();
  }

  // ---- Pages, whatever the output -------------------------------------------

  // After the pages were written: those the reader never kept are missing
  // too, and the text's fate joins the outcome.
  void RecordLostPages() {
    const int kept = document_->PageCount();
    for (int n = kept + 1; n <= outcome().pages; ++n) outcome().pagesMissing.push_back(static_cast<unsigned>(n));
    if (outcome().pages > kept)
      Because(source_ + ": pages " + PageNumber(kept + 1u) + "-" + PageNumber(static_cast<unsigned>(outcome().pages)) +
              " not read: the first " + std::to_string(kept) + " pages of a fax are all that are read");
    outcome().pagesRecognised = text_.PagesRead();
    outcome().pagesUnrecognised = text_.Unrecognised();
    if (!text_.Unrecognised().empty()) Because(source_ + ": " + text_.Reason());
  }

  // "Failed : SOURCE - page 002 of 3 missing".
  std::string LostPagesLine() const {
    return "Failed : " + shownSource_ + " - " + LostPagesText(job_.lastOutcome) + std::string(kLineEnd);
  }

  // ---- JPEG pages -----------------------------------------------------------

  // One JPEG per page kept, each with its own line, then a line naming every
  // page lost (a one-page fax whose page failed has said so already).
  void ConvertPages() {
    const std::vector<std::string> names = PageFileNames(destination_, document_->PageCount());
    for (size_t i = 0; i < names.size(); ++i) {
      if (StopBeforePage()) return;
      ConvertPage(i, names[i], names.size() > 1);
    }
    RecordLostPages();
    const bool lostOnlyItsOnePage = outcome().pages == 1 && outcome().pagesUnrecognised.empty();
    if (!LostPagesText(outcome()).empty() && !lostOnlyItsOnePage) Say(LostPagesLine());
  }

  void ConvertPage(size_t index, const std::string& name, bool multiPage) {
    if (index > 0) document_->DecodePage(kWinFaxFormat, static_cast<int>(index));
    const unsigned number = static_cast<unsigned>(index + 1);
    if (document_->Page().height > 0) text_.Recognise(document_->Page(), number);
    if (StopBeforePage()) return;
    const bool isNew = !platform::StatusOf(name);
    if (!WritePage(name, number)) {
      outcome().pagesMissing.push_back(number);
      return;
    }
    outcome().outputs.push_back(name);
    if (isNew) madeNew_.push_back(name);
    ++outcome().pagesWritten;
    if (!multiPage) return Say("Success !" + TextNote(number) + std::string(kLineEnd));
    // The header only ever comes with the first page's success line.
    if (index == 0) Say("Multiple pages as following :\r\n");
    Say(std::string(kPageIndent) + PageNumber(number) + " --> " + Shown(name) + " : Success !" + TextNote(number) +
        std::string(kLineEnd));
  }

  // The current page, page |number|, into |jpegPath|, straight from its
  // bitmap. A page the bilevel encoder does not take goes the way every
  // page once went, through the private BMP and libjpeg, which report it
  // as they always have.
  bool WritePage(const std::string& jpegPath, unsigned number) {
    const ConversionOptions& options = job_.options;
    std::optional<BilevelJpeg> jpeg = BilevelJpeg::Prepare(document_->Page(), options.quality, options.optimize);
    if (!jpeg) return WritePageThroughBmp(jpegPath, number);
    return WriteJpeg(jpegPath, number, [&](platform::AtomicOutputFile& output, platform::Status* why) {
      return WriteBilevelJpeg(*jpeg, output, why);
    });
  }

  // A BMP that could not be written is never handed on: it may still hold
  // an earlier page.
  bool WritePageThroughBmp(const std::string& jpegPath, unsigned number) {
    platform::Expected<platform::PrivateTempFile*> bmp = job_.TempBmp();
    platform::Status cause;
    const int prepared = bmp ? WritePageBmp(document_->Page(), **bmp, &cause) : 0;
    if (!bmp || prepared != 0) {
      Say("Failed : " + shownSource_ + " - Error in preparing jpeg\r\n");
      Because(bmp ? PreparationFailure(prepared, number, cause) : bmp.reason());
      return false;
    }
    const ConversionOptions& options = job_.options;
    return WriteJpeg(jpegPath, number, [&](platform::AtomicOutputFile& output, platform::Status* why) {
      return WriteJpegFromBmp(**bmp, output, options.quality, true, options.optimize, why);
    });
  }

  // Makes the output of page |number| and has |write| fill and commit it
  // (0 when it did).
  template <typename Write>
  bool WriteJpeg(const std::string& jpegPath, unsigned number, Write write) {
    auto output = CreateOutput(jpegPath);
    platform::Status written = output.status();
    if (output && write(**output, &written) != 0 && written.ok())
      written = platform::Failure::About(jpegPath, "not written");
    if (written) return true;
    Say(kJpegFailedLine);
    // An empty page fails in the JPEG library, which only knows it has no
    // rows.
    const bool empty = output && PageGeometry(document_->Page()).Empty();
    Because(empty ? PageFailure(number, "no line of it could be decoded") : written.reason());
    return false;
  }

  // "a.fxd: page 2: |why|".
  std::string PageFailure(unsigned number, std::string_view why) const {
    return source_ + ": page " + std::to_string(number) + ": " + std::string(why);
  }

  // Why WritePageBmp could not prepare page |number| (its result |status|):
  // no memory, a page too large for the outputs, or the temporary file's
  // own cause (a full disk, a file-size limit), which names that file.
  std::string PreparationFailure(int status, unsigned number, const platform::Status& cause) const {
    if (status == -1) return PageFailure(number, "no memory for its image");
    if (status == -4 || cause.ok()) return PageFailure(number, "it is larger than any fax page");
    return PageFailure(number, "its image: " + cause.reason());
  }

  // ---- PDF and TIFF ---------------------------------------------------------

  // Every page into one PDF or TIFF at the destination; one line for the
  // fax, naming the pages it lost.
  void ConvertDocument() {
    const bool written = WriteDocument();
    if (stopped_) return;
    RecordLostPages();
    if (!written) return Say(DocumentFailedLine());
    Say(LostPagesText(outcome()).empty() ? std::string("Success !\r\n") : LostPagesLine());
  }

  // True when the document was written, with the pages it holds.
  bool WriteDocument() {
    auto file = CreateOutput(destination_);
    if (!file) return NoDocument(file.reason());
    auto source = platform::StatusOf(source_);
    const DocumentInfo info{std::string(LastComponent(source_)), source ? source->modified : platform::FileTime{},
                            document_->HeaderText()};
    auto embedded = EmbeddedSource(info);
    if (!embedded) return NoDocument(embedded.reason());
    DocumentOutcome document =
        WriteFaxDocument(*document_, job_.options.format, **file, info, text_, std::move(*embedded));
    if (!document.output) return NoDocument(document.output.reason());
    // A page's reason is about the fax.
    if (!document.pageReason.empty()) Because(source_ + ": " + document.pageReason);
    if (!document.Written()) return NoDocument({});
    outcome().outputs.push_back(destination_);
    outcome().pagesWritten = document.pagesWritten;
    outcome().pagesMissing = std::move(document.missingPages);
    return true;
  }

  // The fax file itself for a PDF that is to carry it (/embed), opened
  // afresh: the writer copies it whole, whatever the reader took of it.
  platform::Expected<std::optional<PdfEmbeddedSource>> EmbeddedSource(const DocumentInfo& info) const {
    if (!job_.options.embedSource || job_.options.format != OutputFormat::Pdf)
      return std::optional<PdfEmbeddedSource>();
    auto opened = platform::OpenRegularFile(source_);
    if (!opened) return std::move(opened).failure().WithPath(source_);
    return std::optional<PdfEmbeddedSource>(PdfEmbeddedSource{std::move(*opened), info.title, info.modified});
  }

  // The document was not written: every page it would have held is lost.
  bool NoDocument(std::string reason) {
    if (!reason.empty()) Because(std::move(reason));
    for (unsigned n = 1; n <= document_->PageCount(); ++n) outcome().pagesMissing.push_back(n);
    return false;
  }

  std::string DocumentFailedLine() const {
    return job_.options.format == OutputFormat::Pdf ? "Failed :  Error in converting FAX to PDF!\r\n"
                                                    : "Failed :  Error in converting FAX to TIFF!\r\n";
  }

  // Only the files written in this call get the source's times: an older
  // file of the same name is not this conversion's output.
  void KeepDates() {
    for (const std::string& name : outcome().outputs) {
      platform::Status kept = CopyTimes(source_, name);
      if (kept) continue;
      Say("Failed to keep date: " + Shown(name) + std::string(kLineEnd));
      Because(kept.reason());
      ++outcome().extrasFailed;
    }
  }

  ConversionJob& job_;
  const std::string& source_;
  const std::string& destination_;
  const std::string shownSource_;
  std::unique_ptr<FaxDocument> document_;
  std::optional<BorrowedWorkers> borrowed_;
  FaxText text_;
  std::atomic<bool> stopped_ = false;
  std::vector<std::string> madeNew_;  // pages that had no file before
};

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int ConversionJob::ConvertFile(const std::string& sourcePath, const std::string& destinationPath) {
  const auto start = std::chrono::steady_clock::now();
  lastOutcome = {};
  if (FormatCodeFromExtension(sourcePath) != kWinFaxFormat) {
    lastOutcome.result = kNotWinFax;
    lastOutcome.reason = sourcePath + ": not a WinFax file (.fxd, .fxm, .fxr, .fxs)";
  } else {
    report += Shown(sourcePath) + " --> " + Shown(destinationPath) + " : ";
    lastOutcome.result = ConvertNamedFile(sourcePath, destinationPath);
  }
  lastOutcome.seconds = SecondsSince(start);
  if (IsFailure(Classify(lastOutcome))) ++failures;
  return lastOutcome.result;
}

int ConversionJob::ConvertNamedFile(const std::string& sourcePath, const std::string& destinationPath) {
  // The JPEG would be renamed over the fax it came from.
  if (platform::SameFile(sourcePath, destinationPath)) {
    report += "Failed : " + Shown(destinationPath) + " is the source file\r\n";
    lastOutcome.reason = destinationPath + ": is the source file";
    return kOutputIsSource;
  }
  try {
    return FileConversion(*this, sourcePath, destinationPath).Run();
  } catch (const std::exception& error) {
    report += kExceptionLine;
    if (lastOutcome.reason.empty()) lastOutcome.reason = sourcePath + ": " + error.what();
  } catch (...) {
    report += kExceptionLine;
  }
  return kException;
}

}  // namespace tamarind
