#include "codec/jpeg/jpeg_markers.h"

namespace tamarind {

namespace {

// The component's identifier: libjpeg numbers a greyscale image's only
// component 1.
constexpr uint8_t kComponentId = 1;

void Put16(std::vector<uint8_t>& out, unsigned value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void Marker(std::vector<uint8_t>& out, uint8_t code, unsigned payloadBytes) {
  out.push_back(0xFF);
  out.push_back(code);
  Put16(out, payloadBytes + 2);
}

void Jfif(std::vector<uint8_t>& out) {
  Marker(out, 0xE0, 14);
  for (uint8_t byte : {'J', 'F', 'I', 'F', '\0'}) out.push_back(byte);
  out.push_back(1);  // version 1.01
  out.push_back(1);
  out.push_back(0);  // density unit: none, an aspect ratio only
  Put16(out, 1);
  Put16(out, 1);
  out.push_back(0);  // no thumbnail
  out.push_back(0);
}

void Dqt(std::vector<uint8_t>& out, const QuantTable& quant) {
  const bool wide = quant.SixteenBit();
  Marker(out, 0xDB, 1 + 64 * (wide ? 2 : 1));
  out.push_back(wide ? 0x10 : 0x00);  // precision, table 0
  for (uint8_t position : kNaturalOrder) {
    const uint16_t q = quant.natural[position];
    if (wide) out.push_back(static_cast<uint8_t>(q >> 8));
    out.push_back(static_cast<uint8_t>(q));
  }
}

void Sof(std::vector<uint8_t>& out, const GreyscaleFrame& frame) {
  Marker(out, frame.quant->SixteenBit() ? 0xC1 : 0xC0, 9);
  out.push_back(8);  // sample precision
  Put16(out, frame.height);
  Put16(out, frame.width);
  out.push_back(1);  // components
  out.push_back(kComponentId);
  out.push_back(0x11);  // sampling factors 1 x 1
  out.push_back(0);     // quantisation table 0
}

void Dht(std::vector<uint8_t>& out, uint8_t tableClass, const HuffmanTable& table) {
  Marker(out, 0xC4, 17 + static_cast<unsigned>(table.values.size()));
  out.push_back(static_cast<uint8_t>(tableClass << 4));  // table 0
  out.insert(out.end(), table.bits.begin() + 1, table.bits.end());
  out.insert(out.end(), table.values.begin(), table.values.end());
}

void Sos(std::vector<uint8_t>& out) {
  Marker(out, 0xDA, 6);
  out.push_back(1);
  out.push_back(kComponentId);
  out.push_back(0x00);  // DC table 0, AC table 0
  out.push_back(0);     // spectral selection 0..63
  out.push_back(63);
  out.push_back(0);  // no successive approximation
}

}  // namespace

std::vector<uint8_t> GreyscaleHeaders(const GreyscaleFrame& frame) {
  std::vector<uint8_t> out = {0xFF, 0xD8};
  Jfif(out);
  Dqt(out, *frame.quant);
  Sof(out, frame);
  Dht(out, 0, *frame.dc);
  Dht(out, 1, *frame.ac);
  Sos(out);
  return out;
}

}  // namespace tamarind
