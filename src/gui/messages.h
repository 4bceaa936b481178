// Message boxes go through a presenter so that nothing waits on a box the
// user has not answered yet, and so that tests can read what was shown.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

namespace tamarind::gui {

struct Message {
  QMessageBox::Icon icon = QMessageBox::Warning;
  QString caption;
  QString text;
};

// Shows |message| over |owner| and returns the box (null when none stays
// open); the box deletes itself when closed.
using MessagePresenter = std::function<QWidget*(QWidget* owner, const Message& message)>;

// A window-modal box with an OK button that does not block the caller.
MessagePresenter WindowModalPresenter();

// Asks |message| as a question over |owner|, No the default; |onYes| runs
// when the user answers Yes.
using QuestionPresenter = std::function<void(QWidget* owner, const Message& message, std::function<void()> onYes)>;
QuestionPresenter WindowModalQuestion();

}  // namespace tamarind::gui
