#include "gui/options_page.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <optional>

#include "app/process.h"
#include "gui/control_ids.h"
#include "gui/dialog_units.h"
#include "gui/look.h"

namespace tamarind::gui {

namespace {

// The edit's text as a signed decimal; nullopt when it is not one.
std::optional<int> ReadNumber(const QLineEdit* edit) {
  bool ok = false;
  int value = edit->text().trimmed().toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

}  // namespace

OptionsPage::OptionsPage(const PageOptions& saved, QWidget* parent) : QWidget(parent), options_(saved) {
  CreateControls();
  ConnectSignals();
  WriteControls();
  ApplyColours(this, kPageBackground, kOptionsEditBackground);
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
  convertDirectory_ = place(new QRadioButton(QStringLiteral("Convert Directory"), this), kIdConvertDirectory, 14, 30, 87, 10);
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
  place(new QLabel(QStringLiteral("Quality"), this), 0, 142, 72, 29, 8);
  quality_ = place(new QLineEdit(this), kIdQuality, 173, 69, 30, 14);
  quality_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), quality_));
  optimize_ = check("Optimize", kIdOptimize, 225, 72, 47);

  place(new QGroupBox(QStringLiteral("Auto Convertion"), this), kIdAutoGroup, 7, 87, 271, 56);
  autoConvert_ = check("Enable Convertion Automatically", kIdAutoConvert, 14, 108, 166);
  auto* every = place(new QLabel(QStringLiteral("Convert every"), this), 0, 16, 124, 55, 8);
  every->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  minutes_ = place(new QLineEdit(this), kIdMinutes, 72, 122, 34, 14);
  place(new QLabel(QStringLiteral("minutes"), this), 0, 109, 124, 29, 8);
}

void OptionsPage::ConnectSignals() {
  connect(convertDirectory_, &QRadioButton::clicked, this, &OptionsPage::OnSourceKindChanged);
  connect(convertFiles_, &QRadioButton::clicked, this, &OptionsPage::OnSourceKindChanged);
  connect(autoConvert_, &QCheckBox::clicked, this, &OptionsPage::ApplyAutoConvert);
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
  options_.autoConvert = autoConvert_->isChecked();
  // The user cannot change "Recaculate" (its box is hidden), so the value
  // the file had goes back unchanged, whatever number it was.
  for (auto [edit, field] : {std::pair{minutes_, &options_.cycleMinutes}, std::pair{quality_, &conversion.quality}}) {
    std::optional<int> value = ReadNumber(edit);
    *field = value.value_or(0);
    if (!value) {
      QApplication::beep();
      edit->setFocus();
      return;
    }
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

void OptionsPage::ApplyAutoConvert() {
  const int state = autoConvert_->isChecked() ? 1 : 0;
  // The period cannot change while the timer runs on it.
  minutes_->setEnabled(state == 0);
  ReadControlValues();
  emit AutoConvertRequested(options_.cycleMinutes, state);
}

void OptionsPage::Save(ProfileFile& profile) {
  ReadControlValues();
  WritePageOptions(profile, options_);
}

}  // namespace tamarind::gui
