// What the window keeps in the settings file: the last source and
// destination (section "Main") and the options of the Options tab (section
// "Options").
#pragma once

#include <algorithm>
#include <string>

#include "convert/conversion_options.h"
#include "window/profile.h"

namespace tamarind {

inline constexpr const char* kMainSection = "Main";
inline constexpr const char* kOptionsSection = "Options";

// The values of the Options tab: the conversion options it sets (source
// kind, subfolders, hierarchy, dates, extension, optimisation, quality) and
// its own automatic conversion.
struct PageOptions {
  ConversionOptions conversion = PageDefaults();
  int recalcLines = 0;  // kept as the file had it; nothing reads it
  bool autoConvert = false;
  int cycleMinutes = 60;

  bool operator==(const PageOptions&) const = default;

  // The conversion options of a settings file that has none: outputs keep
  // the source extension.
  static ConversionOptions PageDefaults() {
    ConversionOptions defaults;
    defaults.keepExtension = true;
    return defaults;
  }
};

// The numbers the Options tab takes: JPEG quality, and the period of the
// automatic conversion in minutes (the most a millisecond timer counts).
struct IntRange {
  int low;
  int high;
  constexpr int Clamp(int value) const { return std::clamp(value, low, high); }
  constexpr bool Contains(int64_t value) const { return value >= low && value <= high; }
};
inline constexpr IntRange kQualityRange{1, 100};
inline constexpr IntRange kCycleMinutesRange{1, 35791};

// "Embed original" (ConversionOptions::embedSource) means something for
// PDFs only; for the other formats the window shows it, kept as it was,
// but not to be changed.
constexpr bool CanEmbedSource(OutputFormat format) { return format == OutputFormat::Pdf; }

// Keys missing from the file take the defaults above; "Recaculate" takes
// |recalcLinesDefault| (the value already in effect). Besides the ten
// numbered keys, "Format" keeps the output format by name (jpg, pdf, tif;
// an unknown name reads as jpg), "Ocr" whether text is recognised and
// "OcrLanguages" its languages, "Embed" whether a PDF carries its fax. A
// quality or period
// outside its range is held to it.
PageOptions ReadPageOptions(const ProfileFile& profile, int recalcLinesDefault);
void WritePageOptions(ProfileFile& profile, const PageOptions& options);

struct MainFields {
  std::string sourceText;       // "FaxDir"
  std::string destinationText;  // "SaveDir"
};

MainFields ReadMainFields(const ProfileFile& profile);
void WriteMainFields(ProfileFile& profile, const MainFields& fields);

// A source the window takes for this session only: a fax the viewer hands
// to the window ("Convert..."). Taking it switches to "Convert File(s)",
// which clears the folder-only options; none of that is saved while the
// source is still the one taken: the saved source and those options stay
// as they were.
struct OneOffSource {
  std::string sourceText;  // the source text it gave
  MainFields savedFields;  // the settings before it
  PageOptions savedOptions;
};
// What to save for |fields| and |options| now on screen.
void KeepSavedSource(const OneOffSource& oneOff, MainFields& fields, PageOptions& options);

// The window's size in dialog units (a quarter of the font's average
// character width, an eighth of its height), key "WindowSize" of section
// "Main" as "425x248", so that it means the same at any font size and
// display scale; 0 x 0 when none (or no sensible one) is saved.
struct WindowSize {
  int width = 0;
  int height = 0;
  bool operator==(const WindowSize&) const = default;
};
WindowSize ReadWindowSize(const ProfileFile& profile);
void WriteWindowSize(ProfileFile& profile, WindowSize size);

}  // namespace tamarind
