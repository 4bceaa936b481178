#include "codec/jpeg/jpeg_writer.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

#include "codec/jpeg/bmp_source.h"
#include "platform/atomic_file.h"

namespace tamarind {

namespace {

constexpr int kWritten = 0;
constexpr int kCannotOpen = 1;
constexpr int kWrittenWithWarnings = 2;
constexpr int kFailed = 3;

// The standard error manager, except that a fatal error returns to the
// compression call instead of ending the process.
// The library's last message is kept for the caller instead of printed.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void KeepMessage(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
}

[[noreturn]] void ReturnToCompression(j_common_ptr cinfo) {
  KeepMessage(cinfo);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Everything one compression touches, plain data only: the error exit may
// longjmp out of any call below RunCompression.
struct CompressionJob {
  ErrorManager errors;
  jpeg_compress_struct cinfo;
  BmpSource source;
  int bmpFd;
  std::span<const uint8_t> mapped;
  FILE* output;
  int quality;
  bool grayscale;
  bool optimize;
};

void WriteRows(j_compress_ptr cinfo, JSAMPARRAY rows, JDIMENSION count) {
  while (count > 0) {
    JDIMENSION done = jpeg_write_scanlines(cinfo, rows, count);
    // Only a suspending destination takes fewer; ours never suspends.
    if (done == 0) ERREXIT(cinfo, JERR_TOO_LITTLE_DATA);
    rows += done;
    count -= done;
  }
}

void Configure(CompressionJob* job) {
  j_compress_ptr cinfo = &job->cinfo;
  job->errors.pub.addon_message_table = kBmpMessageTable;
  job->errors.pub.first_addon_message = kBmpFirstMessage;
  job->errors.pub.last_addon_message = kBmpLastMessage;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  cinfo->optimize_coding = job->optimize ? TRUE : FALSE;
  if (job->grayscale) jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
  StartBmpSource(&job->source, cinfo, job->bmpFd, job->grayscale, job->mapped);
  // The default for RGB input would be YCbCr.
  jpeg_default_colorspace(cinfo);
  if (job->grayscale) jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
  jpeg_set_quality(cinfo, job->quality, FALSE);
  jpeg_stdio_dest(cinfo, job->output);
}

// The setjmp frame. No object with a destructor may live here or in any
// function it calls that can reach the error exit.
int RunCompression(CompressionJob* job) {
  j_compress_ptr cinfo = &job->cinfo;
  cinfo->err = jpeg_std_error(&job->errors.pub);
  job->errors.pub.error_exit = ReturnToCompression;
  job->errors.pub.output_message = KeepMessage;
  if (setjmp(job->errors.jump)) {
    jpeg_destroy_compress(cinfo);
    return kFailed;
  }
  jpeg_create_compress(cinfo);
  Configure(job);
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    JSAMPARRAY rows = nullptr;
    JDIMENSION count = ReadBmpRows(&job->source, cinfo, &rows);
    WriteRows(cinfo, rows, count);
  }
  jpeg_finish_compress(cinfo);
  const long warnings = job->errors.pub.num_warnings;
  jpeg_destroy_compress(cinfo);
  return warnings > 0 ? kWrittenWithWarnings : kWritten;
}

int CompressInto(int bmpFd, std::span<const uint8_t> mapped, platform::AtomicOutputFile& output, int quality,
                 bool grayscale, bool optimize, platform::Status* cause) {
  CompressionJob job{};
  job.bmpFd = bmpFd;
  job.mapped = mapped;
  job.output = output.Stream();
  job.quality = quality;
  job.grayscale = grayscale;
  job.optimize = optimize;
  const int result = RunCompression(&job);
  if (result == kFailed) {
    // A failed write has the system's own reason; the library's message
    // for it only guesses ("out of disk space?").
    platform::Status written = output.WriteState();
    if (cause) *cause = written ? platform::Failure::About(output.FinalPath(), job.errors.message) : written;
    (void)output.Discard();
    return kFailed;
  }
  if (platform::Status committed = output.Commit(); !committed) {
    if (cause) *cause = std::move(committed);
    return kFailed;
  }
  return result;
}

int CompressInto(int bmpFd, std::span<const uint8_t> mapped, const std::string& jpegPath, int quality, bool grayscale,
                 bool optimize, platform::Status* cause) {
  platform::Expected<std::unique_ptr<platform::AtomicOutputFile>> output = platform::AtomicOutputFile::Create(jpegPath);
  if (!output) {
    if (cause) *cause = output.status();
    return kCannotOpen;
  }
  return CompressInto(bmpFd, mapped, **output, quality, grayscale, optimize, cause);
}

}  // namespace

int WriteJpegFromBmp(const platform::PrivateTempFile& bmp, const std::string& jpegPath, int quality, bool grayscale,
                     bool optimize, platform::Status* cause) {
  return CompressInto(bmp.Descriptor(), bmp.Mapped(), jpegPath, quality, grayscale, optimize, cause);
}

int WriteJpegFromBmp(const platform::PrivateTempFile& bmp, platform::AtomicOutputFile& output, int quality,
                     bool grayscale, bool optimize, platform::Status* cause) {
  if (!output.Stream()) return kCannotOpen;
  return CompressInto(bmp.Descriptor(), bmp.Mapped(), output, quality, grayscale, optimize, cause);
}

int WriteJpegFromBmpFile(const std::string& bmpPath, const std::string& jpegPath, int quality, bool grayscale,
                         bool optimize, platform::Status* cause) {
  platform::Expected<platform::FileHandle> bmp = platform::OpenRegularFile(bmpPath);
  if (!bmp) {
    if (cause) *cause = bmp.status();
    return kCannotOpen;
  }
  return CompressInto(bmp->Descriptor(), {}, jpegPath, quality, grayscale, optimize, cause);
}

}  // namespace tamarind
