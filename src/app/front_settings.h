// What the window keeps in the settings file: the last source and
// destination (section "Main") and the options of the Options tab (section
// "Options").
#pragma once

#include <string>

#include "app/profile.h"

namespace tamarind {

inline constexpr const char* kMainSection = "Main";
inline constexpr const char* kOptionsSection = "Options";

// The ten values of the Options tab, in the order the file lists them.
struct PageOptions {
  int convertFiles = 0;  // 0 the source is a folder, 1 a set of files
  int includeSubfolders = 0;
  int keepHierarchy = 0;
  int keepDate = 0;
  int keepExtension = 1;
  int optimize = 1;
  int quality = 50;
  int recalcLines = 0;
  int autoConvert = 0;
  int cycleMinutes = 60;

  bool operator==(const PageOptions&) const = default;
};

// The Convert tab's copy of the first seven options; it differs from the
// file's defaults until the Options tab first hands its values over.
struct ConvertOptions {
  int convertFiles = 0;
  int includeSubfolders = 0;
  int keepHierarchy = 0;
  int keepDate = 0;
  int keepExtension = 0;
  int optimize = 1;
  int quality = 50;

  static ConvertOptions From(const PageOptions& page);
  bool operator==(const ConvertOptions&) const = default;
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
