#include "jpeg_check.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace tamarind::test {

namespace {

struct Errors {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool warned;
};

[[noreturn]] void Abandon(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<Errors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

// Level -1 is a warning: corrupt or missing data that libjpeg papers over.
void Note(j_common_ptr cinfo, int level) {
  auto* errors = reinterpret_cast<Errors*>(cinfo->err);
  if (level < 0 && !errors->warned) {
    errors->warned = true;
    (*cinfo->err->format_message)(cinfo, errors->message);
  }
}

// Plain data only between setjmp and longjmp; |row| is the caller's.
bool Decode(FILE* file, Errors* errors, jpeg_decompress_struct* cinfo, std::vector<JSAMPLE>* row, JpegCheck* out) {
  cinfo->err = jpeg_std_error(&errors->pub);
  errors->pub.error_exit = Abandon;
  errors->pub.emit_message = Note;
  if (setjmp(errors->jump)) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  jpeg_create_decompress(cinfo);
  jpeg_stdio_src(cinfo, file);
  jpeg_read_header(cinfo, TRUE);
  jpeg_start_decompress(cinfo);
  out->width = static_cast<int>(cinfo->output_width);
  out->height = static_cast<int>(cinfo->output_height);
  if (row->size() < static_cast<size_t>(cinfo->output_width) * cinfo->output_components)
    row->resize(static_cast<size_t>(cinfo->output_width) * cinfo->output_components);
  JSAMPROW rows[1] = {row->data()};
  while (cinfo->output_scanline < cinfo->output_height) jpeg_read_scanlines(cinfo, rows, 1);
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return !errors->warned;
}

}  // namespace

JpegCheck CheckJpegFile(const std::string& path) {
  JpegCheck check;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    check.problem = "cannot open";
    return check;
  }
  Errors errors{};
  jpeg_decompress_struct cinfo{};
  std::vector<JSAMPLE> row;
  row.reserve(65536 * 3);  // no reallocation can be cut short by the jump
  check.complete = Decode(file, &errors, &cinfo, &row, &check);
  std::fclose(file);
  if (!check.complete) check.problem = errors.message;
  return check;
}

}  // namespace tamarind::test
