#include "app/front_settings.h"

namespace tamarind {

namespace {

// One row per key, in the file's order, naming the field it fills.
struct OptionKey {
  const char* name;
  int PageOptions::*field;
};

constexpr OptionKey kOptionKeys[] = {
    {"DirFile", &PageOptions::convertFiles},     {"Subdir", &PageOptions::includeSubfolders},
    {"Hiberarchy", &PageOptions::keepHierarchy}, {"KeepDate", &PageOptions::keepDate},
    {"KeepExt", &PageOptions::keepExtension},    {"Optimize", &PageOptions::optimize},
    {"Quality", &PageOptions::quality},          {"Recaculate", &PageOptions::recalcLines},
    {"Cyclely", &PageOptions::autoConvert},      {"CycleMinutes", &PageOptions::cycleMinutes},
};

}  // namespace

ConvertOptions ConvertOptions::From(const PageOptions& page) {
  return {page.convertFiles, page.includeSubfolders, page.keepHierarchy, page.keepDate,
          page.keepExtension, page.optimize, page.quality};
}

PageOptions ReadPageOptions(const ProfileFile& profile, int recalcLinesDefault) {
  PageOptions defaults;
  defaults.recalcLines = recalcLinesDefault;
  PageOptions options;
  for (const OptionKey& key : kOptionKeys)
    options.*key.field = profile.GetInt(kOptionsSection, key.name, defaults.*key.field);
  return options;
}

void WritePageOptions(ProfileFile& profile, const PageOptions& options) {
  for (const OptionKey& key : kOptionKeys) profile.SetInt(kOptionsSection, key.name, options.*key.field);
}

MainFields ReadMainFields(const ProfileFile& profile) {
  return {profile.GetString(kMainSection, "FaxDir", ""), profile.GetString(kMainSection, "SaveDir", "")};
}

void WriteMainFields(ProfileFile& profile, const MainFields& fields) {
  profile.SetString(kMainSection, "FaxDir", fields.sourceText);
  profile.SetString(kMainSection, "SaveDir", fields.destinationText);
}

}  // namespace tamarind
