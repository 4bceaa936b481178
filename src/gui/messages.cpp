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

}  // namespace tamarind::gui
