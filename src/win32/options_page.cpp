#include "win32/options_page.h"

#include <commctrl.h>

#include <optional>
#include <string>

#include "convert/process.h"
#include "ocr/languages.h"
#include "platform/string_extras.h"
#include "platform/windows/unicode.h"
#include "win32/controls.h"
#include "win32/resource_ids.h"

namespace tamarind::win32 {

namespace {

// In the order of OutputFormat.
constexpr const wchar_t* kFormatNames[] = {L"JPEG per page", L"PDF per fax", L"TIFF per fax"};
// The boxes whose use depends on a folder as the source.
constexpr int kFolderOnly[] = {IDC_INCLUDE_SUBDIR, IDC_KEEP_HIERARCHY, IDC_AUTO_CONVERT};

std::optional<int> NumberIn(HWND window, int id, IntRange range) {
  const std::string text = ControlText(window, id);
  std::optional<int64_t> value = platform::ParseDecimal(text);
  if (!value || !range.Contains(*value)) return std::nullopt;
  return static_cast<int>(*value);
}

}  // namespace

bool OptionsPage::Create(HWND parent, const PageOptions& options, AutoConvertSink sink) {
  options_ = options;
  sink_ = std::move(sink);
  return CreateFromTemplate(IDD_OPTIONS, parent, RGB(196, 255, 225), RGB(255, 255, 255));
}

INT_PTR OptionsPage::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      for (const wchar_t* name : kFormatNames)
        SendDlgItemMessageW(window_, IDC_FORMAT, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
      for (const std::string& language : ocr::InstalledLanguages())
        SendDlgItemMessageW(window_, IDC_OCR_LANGUAGES, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(platform::Widen(language).c_str()));
      WriteControls();
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_CONVERT_DIRECTORY:
        case IDC_CONVERT_FILES:
          if (HIWORD(wParam) == BN_CLICKED) OnSourceKindChanged();
          return TRUE;
        case IDC_AUTO_CONVERT: ApplyAutoConvert(); return TRUE;
        case IDC_RECOGNIZE_TEXT:
          EnableControl(window_, IDC_OCR_LANGUAGES, IsChecked(window_, IDC_RECOGNIZE_TEXT));
          return TRUE;
        case IDC_FORMAT:
          if (HIWORD(wParam) == CBN_SELCHANGE) EnableControl(window_, IDC_EMBED_SOURCE, CanEmbedSource(ChosenFormat()));
          return TRUE;
        case IDOK: ReadControls(); return TRUE;
        case IDCANCEL: return TRUE;
      }
      return FALSE;
  }
  (void)lParam;
  return FALSE;
}

void OptionsPage::WriteControls() {
  const ConversionOptions& conversion = options_.conversion;
  CheckRadioButton(window_, IDC_CONVERT_DIRECTORY, IDC_CONVERT_FILES,
                   conversion.convertFiles ? IDC_CONVERT_FILES : IDC_CONVERT_DIRECTORY);
  SetChecked(window_, IDC_INCLUDE_SUBDIR, conversion.includeSubfolders);
  SetChecked(window_, IDC_KEEP_HIERARCHY, conversion.keepHierarchy);
  SetChecked(window_, IDC_KEEP_DATE, conversion.keepDate);
  SetChecked(window_, IDC_KEEP_EXTENSION, conversion.keepExtension);
  SetChecked(window_, IDC_OPTIMIZE, conversion.optimize);
  SetChecked(window_, IDC_AUTO_CONVERT, options_.autoConvert);
  SetChecked(window_, IDC_RECALCULATE, options_.recalcLines != 0);
  SetControlText(window_, IDC_MINUTES, std::to_string(options_.cycleMinutes));
  SetControlText(window_, IDC_QUALITY, std::to_string(conversion.quality));
  SendDlgItemMessageW(window_, IDC_FORMAT, CB_SETCURSEL, static_cast<WPARAM>(conversion.format), 0);
  SetChecked(window_, IDC_RECOGNIZE_TEXT, conversion.recognizeText);
  SetControlText(window_, IDC_OCR_LANGUAGES, conversion.ocrLanguages);
  EnableControl(window_, IDC_OCR_LANGUAGES, conversion.recognizeText);
  SetChecked(window_, IDC_EMBED_SOURCE, conversion.embedSource);
  EnableControl(window_, IDC_EMBED_SOURCE, CanEmbedSource(conversion.format));
  EnableControl(window_, IDC_MINUTES, !options_.autoConvert);
  // In file mode there is no tree to walk, mirror or watch.
  for (int id : kFolderOnly) EnableControl(window_, id, !conversion.convertFiles);
}

OutputFormat OptionsPage::ChosenFormat() const {
  const LRESULT format = SendDlgItemMessageW(window_, IDC_FORMAT, CB_GETCURSEL, 0, 0);
  return static_cast<OutputFormat>(format == CB_ERR ? 0 : format);
}

void OptionsPage::ReadControlValues() {
  ConversionOptions& conversion = options_.conversion;
  conversion.convertFiles = IsChecked(window_, IDC_CONVERT_FILES);
  conversion.includeSubfolders = IsChecked(window_, IDC_INCLUDE_SUBDIR);
  conversion.keepHierarchy = IsChecked(window_, IDC_KEEP_HIERARCHY);
  conversion.keepDate = IsChecked(window_, IDC_KEEP_DATE);
  conversion.keepExtension = IsChecked(window_, IDC_KEEP_EXTENSION);
  conversion.optimize = IsChecked(window_, IDC_OPTIMIZE);
  conversion.format = ChosenFormat();
  conversion.recognizeText = IsChecked(window_, IDC_RECOGNIZE_TEXT);
  if (std::string languages = ControlText(window_, IDC_OCR_LANGUAGES); !languages.empty())
    conversion.ocrLanguages = languages;
  conversion.embedSource = IsChecked(window_, IDC_EMBED_SOURCE);
  options_.autoConvert = IsChecked(window_, IDC_AUTO_CONVERT);
  // An empty box or a number out of range keeps the value in effect, and
  // says so: a beep, the value back, the focus on the box.
  const std::pair<int, IntRange> boxes[] = {{IDC_MINUTES, kCycleMinutesRange}, {IDC_QUALITY, kQualityRange}};
  int* fields[] = {&options_.cycleMinutes, &conversion.quality};
  for (size_t i = 0; i < 2; ++i) {
    if (std::optional<int> value = NumberIn(window_, boxes[i].first, boxes[i].second)) {
      *fields[i] = *value;
      continue;
    }
    MessageBeep(MB_OK);
    SetControlText(window_, boxes[i].first, std::to_string(*fields[i]));
    SetFocus(GetDlgItem(window_, boxes[i].first));
  }
}

const PageOptions& OptionsPage::ReadControls() {
  ReadControlValues();
  conversionSettings.recalcLines = static_cast<uint8_t>(options_.recalcLines);
  return options_;
}

void OptionsPage::OnSourceKindChanged() {
  const bool folder = IsChecked(window_, IDC_CONVERT_DIRECTORY);
  for (int id : kFolderOnly) {
    SetChecked(window_, id, false);
    EnableControl(window_, id, folder);
  }
  ApplyAutoConvert();
}

void OptionsPage::ChooseSourceKind(bool files) {
  const int button = files ? IDC_CONVERT_FILES : IDC_CONVERT_DIRECTORY;
  if (IsChecked(window_, button)) return;
  CheckRadioButton(window_, IDC_CONVERT_DIRECTORY, IDC_CONVERT_FILES, button);
  OnSourceKindChanged();
}

void OptionsPage::ApplyAutoConvert() {
  const bool on = IsChecked(window_, IDC_AUTO_CONVERT);
  // The period cannot change while the timer runs on it.
  EnableControl(window_, IDC_MINUTES, !on);
  ReadControlValues();
  if (sink_) sink_(options_.cycleMinutes, on);
}

void OptionsPage::Save(ProfileFile& profile) {
  ReadControlValues();
  WritePageOptions(profile, options_);
}

}  // namespace tamarind::win32
