// A deterministic set of damaged and hostile files made from real WinFax
// files: flipped bits, cut files, looping and overflowing chains, absurd
// sizes and files that are no fax at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tamarind::test {

struct HostileFile {
  std::string name;  // unique; ends in a WinFax extension
  std::vector<uint8_t> bytes;
};

// Every header boundary cut, every listed width, length and data length,
// every chain shape, and the non-faxes (their noise drawn from |seed|).
// Random damage to the pages and their coded data is the fuzz targets'
// (fuzz_fax_document, the decoders'), under the sanitizers.
std::vector<HostileFile> HostileCorpus(uint32_t seed);

// Writes |files| into |folder| (which must exist), together with two entries
// the walk must pass over: a pipe and a link to a device, both with a WinFax
// extension. Returns the number of regular files written.
size_t WriteHostileFolder(const std::string& folder, const std::vector<HostileFile>& files);

// A scale for loops that sanitizers slow down about tenfold.
bool UnderSanitizer();

}  // namespace tamarind::test
