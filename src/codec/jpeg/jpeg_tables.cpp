#include "codec/jpeg/jpeg_tables.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace tamarind {

bool QuantTable::SixteenBit() const {
  return std::any_of(natural.begin(), natural.end(), [](uint16_t q) { return q > 255; });
}

namespace {

// The library's fatal errors return here instead of ending the process.
struct Errors {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void ReturnFromLibrary(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<Errors*>(cinfo->err)->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

HuffmanTable TableOf(const JHUFF_TBL* library) {
  HuffmanTable table;
  int count = 0;
  for (int length = 1; length <= 16; ++length) {
    table.bits[length] = library->bits[length];
    count += library->bits[length];
  }
  table.values.assign(library->huffval, library->huffval + std::min(count, 256));
  return table;
}

// Plain data only between setjmp and the last library call.
struct Scratch {
  Errors errors;
  jpeg_compress_struct cinfo;
};

bool ReadTables(Scratch* s, int quality, GreyscaleTables* tables) {
  s->cinfo.err = jpeg_std_error(&s->errors.pub);
  s->errors.pub.error_exit = ReturnFromLibrary;
  s->errors.pub.output_message = IgnoreMessage;
  if (setjmp(s->errors.jump)) {
    jpeg_destroy_compress(&s->cinfo);
    return false;
  }
  jpeg_create_compress(&s->cinfo);
  s->cinfo.in_color_space = JCS_GRAYSCALE;
  s->cinfo.input_components = 1;
  jpeg_set_defaults(&s->cinfo);
  jpeg_set_colorspace(&s->cinfo, JCS_GRAYSCALE);
  jpeg_set_quality(&s->cinfo, quality, FALSE);
  const int slot = s->cinfo.comp_info[0].quant_tbl_no;
  std::copy_n(s->cinfo.quant_tbl_ptrs[slot]->quantval, 64, tables->quant.natural.begin());
  tables->standardDc = TableOf(s->cinfo.dc_huff_tbl_ptrs[s->cinfo.comp_info[0].dc_tbl_no]);
  tables->standardAc = TableOf(s->cinfo.ac_huff_tbl_ptrs[s->cinfo.comp_info[0].ac_tbl_no]);
  jpeg_destroy_compress(&s->cinfo);
  return true;
}

}  // namespace

std::optional<GreyscaleTables> LibjpegGreyscaleTables(int quality) {
  Scratch scratch{};
  GreyscaleTables tables;
  if (!ReadTables(&scratch, quality, &tables)) return std::nullopt;
  return tables;
}

}  // namespace tamarind
