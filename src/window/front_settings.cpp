#include "window/front_settings.h"

#include <string_view>

#include "convert/output_names.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

// One row per numbered key, in the file's order: how the key's integer is
// read from and written into the options.
struct OptionKey {
  std::string_view name;
  int (*get)(const PageOptions&);
  void (*set)(PageOptions&, int);
};

template <auto Field>
constexpr OptionKey PageKey(std::string_view name) {
  return {
      name, [](const PageOptions& o) { return static_cast<int>(o.*Field); },
      [](PageOptions& o, int value) { o.*Field = static_cast<std::remove_reference_t<decltype(o.*Field)>>(value); }};
}

// A flag or number of the conversion options the page sets; a flag is on
// for any value but 0.
template <auto Field>
constexpr OptionKey ConversionKey(std::string_view name) {
  return {name, [](const PageOptions& o) { return static_cast<int>(o.conversion.*Field); },
          [](PageOptions& o, int value) {
            o.conversion.*Field = static_cast<std::remove_reference_t<decltype(o.conversion.*Field)>>(value);
          }};
}

constexpr OptionKey kOptionKeys[] = {
    ConversionKey<&ConversionOptions::convertFiles>("DirFile"),
    ConversionKey<&ConversionOptions::includeSubfolders>("Subdir"),
    ConversionKey<&ConversionOptions::keepHierarchy>("Hiberarchy"),
    ConversionKey<&ConversionOptions::keepDate>("KeepDate"),
    ConversionKey<&ConversionOptions::keepExtension>("KeepExt"),
    ConversionKey<&ConversionOptions::optimize>("Optimize"),
    ConversionKey<&ConversionOptions::quality>("Quality"),
    PageKey<&PageOptions::recalcLines>("Recaculate"),
    PageKey<&PageOptions::autoConvert>("Cyclely"),
    PageKey<&PageOptions::cycleMinutes>("CycleMinutes"),
    ConversionKey<&ConversionOptions::recognizeText>("Ocr"),
    ConversionKey<&ConversionOptions::embedSource>("Embed"),
};

constexpr const char* kFormatKey = "Format";
constexpr const char* kOcrLanguagesKey = "OcrLanguages";
constexpr const char* kWindowSizeKey = "WindowSize";
constexpr int64_t kLargestSide = 100000;  // far beyond any screen

}  // namespace

PageOptions ReadPageOptions(const ProfileFile& profile, int recalcLinesDefault) {
  PageOptions defaults;
  defaults.recalcLines = recalcLinesDefault;
  PageOptions options;
  for (const OptionKey& key : kOptionKeys)
    key.set(options, profile.GetInt(kOptionsSection, key.name, key.get(defaults)));
  options.conversion.quality = kQualityRange.Clamp(options.conversion.quality);
  options.cycleMinutes = kCycleMinutesRange.Clamp(options.cycleMinutes);
  ConversionOptions& conversion = options.conversion;
  const std::string format = profile.GetString(kOptionsSection, kFormatKey, OutputFormatName(conversion.format));
  conversion.format = OutputFormatNamed(format).value_or(OutputFormat::Jpeg);
  conversion.ocrLanguages = profile.GetString(kOptionsSection, kOcrLanguagesKey, conversion.ocrLanguages);
  if (conversion.ocrLanguages.empty()) conversion.ocrLanguages = defaults.conversion.ocrLanguages;
  return options;
}

void WritePageOptions(ProfileFile& profile, const PageOptions& options) {
  for (const OptionKey& key : kOptionKeys) profile.SetInt(kOptionsSection, key.name, key.get(options));
  profile.SetString(kOptionsSection, kFormatKey, OutputFormatName(options.conversion.format));
  profile.SetString(kOptionsSection, kOcrLanguagesKey, options.conversion.ocrLanguages);
}

MainFields ReadMainFields(const ProfileFile& profile) {
  return {profile.GetString(kMainSection, "FaxDir", ""), profile.GetString(kMainSection, "SaveDir", "")};
}

void WriteMainFields(ProfileFile& profile, const MainFields& fields) {
  profile.SetString(kMainSection, "FaxDir", fields.sourceText);
  profile.SetString(kMainSection, "SaveDir", fields.destinationText);
}

void KeepSavedSource(const OneOffSource& oneOff, MainFields& fields, PageOptions& options) {
  if (fields.sourceText != oneOff.sourceText || !options.conversion.convertFiles) return;
  fields.sourceText = oneOff.savedFields.sourceText;
  const ConversionOptions& saved = oneOff.savedOptions.conversion;
  options.conversion.convertFiles = saved.convertFiles;
  options.conversion.includeSubfolders = saved.includeSubfolders;
  options.conversion.keepHierarchy = saved.keepHierarchy;
  options.autoConvert = oneOff.savedOptions.autoConvert;
}

WindowSize ReadWindowSize(const ProfileFile& profile) {
  const std::string text = profile.GetString(kMainSection, kWindowSizeKey, "");
  const size_t cross = text.find('x');
  if (cross == std::string::npos) return {};
  const std::optional<int64_t> width = platform::ParseDecimal(std::string_view(text).substr(0, cross));
  const std::optional<int64_t> height = platform::ParseDecimal(std::string_view(text).substr(cross + 1));
  if (!width || !height || *width < 1 || *height < 1 || *width > kLargestSide || *height > kLargestSide) return {};
  return {static_cast<int>(*width), static_cast<int>(*height)};
}

void WriteWindowSize(ProfileFile& profile, WindowSize size) {
  profile.SetString(kMainSection, kWindowSizeKey, std::to_string(size.width) + "x" + std::to_string(size.height));
}

}  // namespace tamarind
