// The About box: icon, name and version, and the links to the home page
// and to support. A right click on the home-page link offers to copy it.
#pragma once

#include <QDialog>

#include "window/about.h"

class QAction;
class QMenu;
class QPushButton;

namespace tamarind::gui {

class HyperLink;

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  HyperLink* HomeLink() const { return homeLink_; }
  HyperLink* SupportLink() const { return supportLink_; }
  // The link menu ("Copy Shortcuts"), built for the link under the mouse.
  QMenu* LinkMenu() const { return linkMenu_; }
  // "Copy Shortcuts": the remembered link's target to the clipboard.
  void CopyShortcut();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void ConnectSignals();  // every signal of the box and its handler, in one place

  HyperLink* homeLink_ = nullptr;
  HyperLink* supportLink_ = nullptr;
  HyperLink* menuLink_ = nullptr;
  QMenu* linkMenu_ = nullptr;
  QAction* copyAction_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace tamarind::gui
