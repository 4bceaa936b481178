// The "Options" tab: how the source is read, how outputs are named and
// stamped (and whether a PDF carries its fax), the JPEG quality, the
// output format, text recognition and the automatic conversion.
#pragma once

#include <QWidget>
#include <array>
#include <utility>

#include "gui/anchored_layout.h"
#include "window/front_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace tamarind::gui {

class OptionsPage : public QWidget {
  Q_OBJECT

 public:
  OptionsPage(const PageOptions& saved, QWidget* parent = nullptr);

  // Reads the controls into Options() and hands "Recaculate" to the
  // process-wide conversion settings.
  void ReadControls();
  // The automatic-conversion check box was clicked, or the saved state is
  // applied at start: tells the Convert page through AutoConvertRequested.
  void ApplyAutoConvert();
  // Checks "Convert File(s)" (|files|) or "Convert Directory" as a click
  // on it would, unless it is checked already.
  void ChooseSourceKind(bool files);
  // Reads the controls: what the "Options" keys save.
  const PageOptions& ReadForSaving();

  const PageOptions& Options() const { return options_; }

  // Spreads the controls over a page |extra| larger than its base size,
  // in proportion: the groups grow, and the controls keep their places
  // relative to them.
  void Stretch(QSize extra) { layout_.Apply(extra); }

 signals:
  // (minutes, 1 on / 0 off), for ConvertPage::AutoConvert.
  void AutoConvertRequested(int minutes, int state);

 private:
  void CreateControls();
  void AnchorControls(QSize baseSize);
  void ConnectSignals();  // every signal of the page and its handler, in one place
  void WriteControls();
  // Fills the options from the controls. A number box that holds no number
  // in its range beeps, takes the focus and shows the value kept.
  void ReadControlValues();
  // The minutes and quality boxes with the ranges they take, in the order
  // they are read.
  std::array<std::pair<QLineEdit*, IntRange>, 2> NumberBoxes() const;
  void OnSourceKindChanged();
  void OnTextRecognitionToggled();
  void OnFormatChanged();

  PageOptions options_;
  AnchoredLayout layout_;

  QRadioButton* convertDirectory_ = nullptr;
  QRadioButton* convertFiles_ = nullptr;
  QCheckBox* includeSubdir_ = nullptr;
  QCheckBox* keepDate_ = nullptr;
  QCheckBox* keepHierarchy_ = nullptr;
  QCheckBox* keepExtension_ = nullptr;
  QCheckBox* recalculate_ = nullptr;
  QCheckBox* embedSource_ = nullptr;  // in the hidden "Re-caculate" box's place
  QLineEdit* quality_ = nullptr;
  QCheckBox* optimize_ = nullptr;
  QCheckBox* autoConvert_ = nullptr;
  QLineEdit* minutes_ = nullptr;
  QComboBox* format_ = nullptr;
  QCheckBox* recognizeText_ = nullptr;
  QComboBox* ocrLanguages_ = nullptr;  // the installed ones, or typed "eng+deu"
};

}  // namespace tamarind::gui
