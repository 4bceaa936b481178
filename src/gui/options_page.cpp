#include "gui/options_page.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QValidator>
#include <optional>

#include "convert/process.h"
#include "gui/control_ids.h"
#include "gui/dialog_units.h"
#include "gui/look.h"
#include "ocr/languages.h"

namespace tamarind::gui {

namespace {

// Digits only, and never more than the range's top: what cannot become a
// number in range is refused as it is typed or pasted. An empty box, or a
// number below the bottom, may still be on its way.
class RangeValidator : public QValidator {
 public:
  RangeValidator(IntRange range, QObject* parent) : QValidator(parent), range_(range) {}

  State validate(QString& text, int&) const override {
    std::optional<int> value = Read(text);
    if (!value) return text.isEmpty() ? Intermediate : Invalid;
    if (*value > range_.high) return Invalid;
    return *value < range_.low ? Intermediate : Acceptable;
  }

  // The number in |text|; nullopt when it holds anything but digits (or
  // too many of them to matter).
  static std::optional<int> Read(const QString& text) {
    if (text.isEmpty() || text.size() > 9) return std::nullopt;
    for (QChar c : text)
      if (c < u'0' || c > u'9') return std::nullopt;
    return text.toInt();
  }

 private:
  IntRange range_;
};

QString RangeText(IntRange range) { return QStringLiteral("%1-%2").arg(range.low).arg(range.high); }

}  // namespace

OptionsPage::OptionsPage(const PageOptions& saved, QWidget* parent) : QWidget(parent), options_(saved) {
  CreateControls();
  ConnectSignals();
  WriteControls();
  ApplyColours(this, Surface::Page);
}

void OptionsPage::CreateControls() {
  DialogUnits units(font());
  auto place = [&](auto* widget, int id, int x, int y, int width, int height) {
    units.Place(widget, id, x, y, width, height);
    return widget;
  };
  auto check = [&](const char* text, int id, int x, int y, int width) {
    return place(new QCheckBox(QString::fromUtf8(text), this), id, x, y, width, 10);
  };

  place(new QGroupBox(QStringLiteral("Source Options"), this), 0, 7, 11, 125, 75);
  convertDirectory_ =
      place(new QRadioButton(QStringLiteral("Convert Directory"), this), kIdConvertDirectory, 14, 30, 87, 10);
  includeSubdir_ = check("Include subdir", kIdIncludeSubdir, 29, 43, 78);
  convertFiles_ = place(new QRadioButton(QStringLiteral("Convert File(s)"), this), kIdConvertFiles, 14, 60, 87, 10);
  auto* kinds = new QButtonGroup(this);
  kinds->addButton(convertDirectory_, 0);
  kinds->addButton(convertFiles_, 1);

  place(new QGroupBox(QStringLiteral("Destinaion Options"), this), 0, 136, 11, 142, 75);
  keepDate_ = check("Keep File Date and Time", kIdKeepDate, 142, 24, 118);
  keepHierarchy_ = check("Keep Hiberarchy", kIdKeepHierarchy, 142, 36, 118);
  keepExtension_ = check("Include Source File Extention", kIdKeepExtension, 142, 48, 130);
  recalculate_ = check("Re-caculate Scan Lines", kIdRecalculate, 142, 60, 123);
  recalculate_->setVisible(false);
  recalculate_->setEnabled(false);
  embedSource_ = check("Embed original", kIdEmbedSource, 142, 60, 123);
  embedSource_->setToolTip(QStringLiteral("A PDF carries its fax file, byte for byte (PDF/A-3b)"));
  place(new QLabel(QStringLiteral("Quality"), this), 0, 142, 72, 29, 8);
  quality_ = place(new QLineEdit(this), kIdQuality, 173, 69, 30, 14);
  place(new QLabel(RangeText(kQualityRange), this), 0, 205, 72, 21, 8);
  optimize_ = check("Optimize", kIdOptimize, 227, 72, 47);

  // The automatic conversion takes two rows; the output choice, which a
  // larger window once did not need, the space below them.
  place(new QGroupBox(QStringLiteral("Auto Convertion"), this), kIdAutoGroup, 7, 87, 271, 34);
  autoConvert_ = check("Enable Convertion Automatically", kIdAutoConvert, 14, 96, 166);
  auto* every = place(new QLabel(QStringLiteral("Convert every"), this), 0, 16, 108, 55, 8);
  every->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  minutes_ = place(new QLineEdit(this), kIdMinutes, 72, 106, 34, 12);
  place(new QLabel(QStringLiteral("minutes"), this), 0, 109, 108, 29, 8);
  place(new QLabel(QStringLiteral("(%1)").arg(RangeText(kCycleMinutesRange)), this), 0, 140, 108, 50, 8);

  // One lossless file per fax, or a JPEG per page; and the text.
  place(new QGroupBox(QStringLiteral("Output"), this), kIdOutputGroup, 7, 122, 271, 26);
  format_ = place(new QComboBox(this), kIdFormat, 14, 131, 76, 13);
  // In the order of OutputFormat.
  for (const char* name : {"JPEG per page", "PDF per fax", "TIFF per fax"}) format_->addItem(QString::fromLatin1(name));
  recognizeText_ = check("Recognise &text", kIdRecognizeText, 100, 133, 70);
  ocrLanguages_ = place(new QComboBox(this), kIdOcrLanguages, 174, 131, 96, 13);
  ocrLanguages_->setEditable(true);
  for (const std::string& language : ocr::InstalledLanguages()) ocrLanguages_->addItem(ToDisplay(language));
  ocrLanguages_->setToolTip(QStringLiteral("Languages of the text, joined by +: eng+deu"));

  AnchorControls(units.Size(285, 150));
}

// Every control spreads with the page (the groups also downwards), and the
// number boxes accept only their range.
void OptionsPage::AnchorControls(QSize baseSize) {
  layout_.SetBaseSize(baseSize);
  for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const bool group = qobject_cast<QGroupBox*>(control) != nullptr;
    layout_.Add(control, kSpreadAcross | kSpreadAlong | (group ? kSpreadDown : 0u));
  }
  for (auto [edit, range] : NumberBoxes()) {
    edit->setValidator(new RangeValidator(range, edit));
    edit->setToolTip(QStringLiteral("%1 to %2").arg(range.low).arg(range.high));
  }
}

std::array<std::pair<QLineEdit*, IntRange>, 2> OptionsPage::NumberBoxes() const {
  return {std::pair{minutes_, kCycleMinutesRange}, std::pair{quality_, kQualityRange}};
}

void OptionsPage::ConnectSignals() {
  connect(convertDirectory_, &QRadioButton::clicked, this, &OptionsPage::OnSourceKindChanged);
  connect(convertFiles_, &QRadioButton::clicked, this, &OptionsPage::OnSourceKindChanged);
  connect(autoConvert_, &QCheckBox::clicked, this, &OptionsPage::ApplyAutoConvert);
  connect(recognizeText_, &QCheckBox::toggled, this, &OptionsPage::OnTextRecognitionToggled);
  connect(format_, &QComboBox::currentIndexChanged, this, &OptionsPage::OnFormatChanged);
}

void OptionsPage::WriteControls() {
  const ConversionOptions& conversion = options_.conversion;
  convertDirectory_->setChecked(!conversion.convertFiles);
  convertFiles_->setChecked(conversion.convertFiles);
  includeSubdir_->setChecked(conversion.includeSubfolders);
  keepHierarchy_->setChecked(conversion.keepHierarchy);
  keepDate_->setChecked(conversion.keepDate);
  keepExtension_->setChecked(conversion.keepExtension);
  optimize_->setChecked(conversion.optimize);
  autoConvert_->setChecked(options_.autoConvert);
  recalculate_->setChecked(options_.recalcLines != 0);
  minutes_->setText(QString::number(options_.cycleMinutes));
  quality_->setText(QString::number(conversion.quality));
  format_->setCurrentIndex(static_cast<int>(conversion.format));
  recognizeText_->setChecked(conversion.recognizeText);
  ocrLanguages_->setCurrentText(ToDisplay(conversion.ocrLanguages));
  OnTextRecognitionToggled();
  embedSource_->setChecked(conversion.embedSource);
  OnFormatChanged();
  // The rules of a click on the source kind, without unchecking anything:
  // in file mode there is no tree to walk, mirror or watch.
  for (QCheckBox* box : {includeSubdir_, keepHierarchy_, autoConvert_}) box->setEnabled(convertDirectory_->isChecked());
}

void OptionsPage::ReadControlValues() {
  ConversionOptions& conversion = options_.conversion;
  conversion.convertFiles = convertFiles_->isChecked();
  conversion.includeSubfolders = includeSubdir_->isChecked();
  conversion.keepHierarchy = keepHierarchy_->isChecked();
  conversion.keepDate = keepDate_->isChecked();
  conversion.keepExtension = keepExtension_->isChecked();
  conversion.optimize = optimize_->isChecked();
  conversion.format = static_cast<OutputFormat>(std::max(0, format_->currentIndex()));
  conversion.recognizeText = recognizeText_->isChecked();
  if (std::string languages = FromControl(ocrLanguages_->currentText().trimmed()); !languages.empty())
    conversion.ocrLanguages = languages;
  conversion.embedSource = embedSource_->isChecked();
  options_.autoConvert = autoConvert_->isChecked();
  // The user cannot change "Recaculate" (its box is hidden), so the value
  // the file had goes back unchanged, whatever number it was.
  int* fields[] = {&options_.cycleMinutes, &conversion.quality};
  for (size_t i = 0; i < NumberBoxes().size(); ++i) {
    auto [edit, range] = NumberBoxes()[i];
    std::optional<int> value = RangeValidator::Read(edit->text());
    if (value && range.Contains(*value)) {
      *fields[i] = *value;
      continue;
    }
    // An empty box or a number out of range keeps the value in effect,
    // and says so.
    QApplication::beep();
    edit->setText(QString::number(*fields[i]));
    edit->setFocus();
    edit->selectAll();
  }
}

void OptionsPage::ReadControls() {
  ReadControlValues();
  conversionSettings.recalcLines = static_cast<uint8_t>(options_.recalcLines);
}

void OptionsPage::OnSourceKindChanged() {
  bool directory = convertDirectory_->isChecked();
  for (QCheckBox* box : {includeSubdir_, keepHierarchy_, autoConvert_}) {
    box->setChecked(false);
    box->setEnabled(directory);
  }
  ApplyAutoConvert();
}

void OptionsPage::OnTextRecognitionToggled() { ocrLanguages_->setEnabled(recognizeText_->isChecked()); }

void OptionsPage::OnFormatChanged() {
  embedSource_->setEnabled(CanEmbedSource(static_cast<OutputFormat>(std::max(0, format_->currentIndex()))));
}

void OptionsPage::ChooseSourceKind(bool files) {
  QRadioButton* button = files ? convertFiles_ : convertDirectory_;
  if (!button->isChecked()) button->click();
}

void OptionsPage::ApplyAutoConvert() {
  const int state = autoConvert_->isChecked() ? 1 : 0;
  // The period cannot change while the timer runs on it.
  minutes_->setEnabled(state == 0);
  ReadControlValues();
  emit AutoConvertRequested(options_.cycleMinutes, state);
}

const PageOptions& OptionsPage::ReadForSaving() {
  ReadControlValues();
  return options_;
}

}  // namespace tamarind::gui
