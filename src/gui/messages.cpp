#include "gui/messages.h"

namespace tamarind::gui {

MessagePresenter WindowModalPresenter() {
  return [](QWidget* owner, const Message& message) -> QWidget* {
    auto* box = new QMessageBox(message.icon, message.caption, message.text, QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    box->open();
    return box;
  };
}

QuestionPresenter WindowModalQuestion() {
  return [](QWidget* owner, const Message& message, std::function<void()> onYes) {
    auto* box = new QMessageBox(message.icon, message.caption, message.text, QMessageBox::Yes | QMessageBox::No, owner);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, box, [onYes = std::move(onYes)](int answer) {
      if (answer == QMessageBox::Yes) onYes();
    });
    box->open();
  };
}

}  // namespace tamarind::gui
