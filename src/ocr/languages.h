// Which recognition languages are installed, and which Debian package brings
// a missing one. Tesseract keeps one "<code>.traineddata" file per language
// in its data folder; Debian ships each as tesseract-ocr-<code>.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/outcome.h"

namespace tamarind::ocr {

// The folder Tesseract's data is read from: $TESSDATA_PREFIX when set (as
// Tesseract itself reads it: the folder holding the .traineddata files),
// else where Debian installs it for this Tesseract's major version.
std::string DefaultDataFolder();

// The language codes with data in |data_folder|, sorted ("deu", "eng", ...).
// The orientation ("osd") and equation ("equ") data are not languages and
// are left out.
std::vector<std::string> InstalledLanguages(const std::string& data_folder);
std::vector<std::string> InstalledLanguages();  // in DefaultDataFolder()

// The Debian package of a Tesseract language code: "tesseract-ocr-" and the
// code in lower case with '_' turned into '-' (chi_sim -> tesseract-ocr-chi-sim).
std::string PackageForLanguage(std::string_view code);

// Ok when every code of |languages| (codes joined by '+', as "eng+deu") has
// its data in |data_folder|, and so has the orientation detection the
// recogniser needs; else a failure naming the packages to install. Codes
// that are empty or hold other characters than letters, digits and '_' are
// refused too.
platform::Status CheckLanguages(std::string_view languages, const std::string& data_folder);

// The glyph-less font Tesseract ships for invisible text layers (every
// character drawn by one empty glyph), "pdf.ttf" in |data_folder|.
platform::Expected<std::vector<uint8_t>> TextLayerFont(const std::string& data_folder);

// Ok when TextLayerFont can read the font; else a failure naming the file,
// its cause and the package that installs it (downloaded language data
// comes without it).
platform::Status CheckTextLayerFont(const std::string& data_folder);

}  // namespace tamarind::ocr
