#include "tessel/ui/AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "widgets/Icons.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "unknown"
#endif

QString TAboutBox::Version() { return QStringLiteral(TESSEL_VERSION); }

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle("About Tessel");
  setModal(true);
  const QIcon icon = ProgramIcon("tessel");
  setWindowIcon(icon);

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* picture = new QLabel(this);
  picture->setPixmap(icon.pixmap(64, 64));
  picture->setAlignment(Qt::AlignTop);
  top->addWidget(picture);

  auto* text = new QVBoxLayout;
  auto* name = new QLabel("Tessel", this);
  QFont big = name->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setBold(true);
  name->setFont(big);
  name->setObjectName("AboutName");
  text->addWidget(name);
  auto* version = new QLabel("Version " + Version(), this);
  version->setObjectName("AboutVersion");
  text->addWidget(version);
  auto* what = new QLabel(
      "An editor for animated .mdl models: frames, scenes, objects with pivots and skins painted in the game's "
      "256-colour palette, shown by its own 8-bit renderer.",
      this);
  what->setWordWrap(true);
  what->setMinimumWidth(300);
  text->addWidget(what);
  top->addLayout(text, 1);
  layout->addLayout(top);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}
