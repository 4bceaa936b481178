// What the window keeps in the settings file: the last source and
// destination (section "Main") and the options of the Options tab (section
// "Options").
#pragma once

#include <string>

#include "app/conversion_options.h"
#include "app/profile.h"

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

// Keys missing from the file take the defaults above; "Recaculate" takes
// |recalcLinesDefault| (the value already in effect).
PageOptions ReadPageOptions(const ProfileFile& profile, int recalcLinesDefault);
void WritePageOptions(ProfileFile& profile, const PageOptions& options);

struct MainFields {
  std::string sourceText;       // "FaxDir"
  std::string destinationText;  // "SaveDir"
};

MainFields ReadMainFields(const ProfileFile& profile);
void WriteMainFields(ProfileFile& profile, const MainFields& fields);

}  // namespace tamarind
