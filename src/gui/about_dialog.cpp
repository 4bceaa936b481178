#include "gui/about_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include "cli/command_line.h"
#include "gui/artwork.h"
#include "gui/control_ids.h"
#include "gui/dialog_units.h"
#include "gui/hyper_link.h"
#include "gui/look.h"

namespace tamarind::gui {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Tamarind"));
  DialogUnits units(font());
  setFixedSize(units.Size(217, 139));

  units.Place(new QGroupBox(QStringLiteral("About Tamarind"), this), 0, 7, 7, 203, 66);
  auto* icon = new QLabel(this);
  units.Place(icon, 0, 10, 20, 20, 20);
  icon->setPixmap(AppIcon().pixmap(32, 32));
  icon->setAlignment(Qt::AlignCenter);
  auto* name = new QLabel(ToDisplay(kVersionText), this);
  units.Place(name, 0, 35, 20, 164, 24);
  name->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  homeLink_ = new HyperLink(QStringLiteral("Home Page"), this);
  units.Place(homeLink_, kIdHomeLink, 37, 49, 87, 8);
  homeLink_->SetTarget(QString::fromLatin1(kHomePage));
  supportLink_ = new HyperLink(QStringLiteral("Support: ") + QString::fromLatin1(kSupportAddress), this);
  units.Place(supportLink_, kIdSupportLink, 37, 60, 144, 9);
  supportLink_->setAlignment(Qt::AlignCenter);
  supportLink_->SetTarget(QStringLiteral("mailto:") + QString::fromLatin1(kSupportAddress));
  // The label heights in dialog units are tight for some fonts; let the
  // text keep its descenders.
  for (HyperLink* link : {homeLink_, supportLink_})
    link->resize(link->width(), std::max(link->height(), link->sizeHint().height()));

  // Whoever passes the program on should see what they may do with it.
  auto* licence = new QLabel(QStringLiteral("\u00a9 2026 The Tamarind developers, MIT License"), this);
  units.Place(licence, 0, 7, 84, 203, 18);
  licence->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  licence->setWordWrap(true);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  units.Place(ok_, kIdOk, 80, 118, 50, 14);
  ok_->setDefault(true);
  // Enter must close the box, not open the first link in the tab order.
  ok_->setFocus();

  linkMenu_ = new QMenu(this);
  copyAction_ = linkMenu_->addAction(QStringLiteral("Copy Shortcuts"));
  copyAction_->setData(kIdCopyShortcuts);
  ConnectSignals();
  if (parent) move(parent->window()->geometry().center() - rect().center());
}

void AboutDialog::ConnectSignals() {
  // Esc and the close box end the box through QDialog itself; the links
  // open their targets themselves.
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(copyAction_, &QAction::triggered, this, &AboutDialog::CopyShortcut);
}

void AboutDialog::contextMenuEvent(QContextMenuEvent* event) {
  if (!homeLink_->geometry().contains(event->pos())) {
    QDialog::contextMenuEvent(event);
    return;
  }
  menuLink_ = homeLink_;
  linkMenu_->popup(event->globalPos());
}

void AboutDialog::CopyShortcut() {
  if (!menuLink_ || menuLink_->Target().isEmpty()) return;
  QApplication::clipboard()->setText(menuLink_->Target());
}

}  // namespace tamarind::gui
