#include "tessel/ui/TextureDestinationDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TTextureDestinationDialog::TTextureDestinationDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("TextureDestinationDialog");
  setWindowTitle("Rendered Skin");
  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel("Where should the rendered skin go ?", this));
  auto* row = new QHBoxLayout;
  const char* captions[3] = {"Insert New", "Replace Current", "Discard"};
  for (int i = 0; i < 3; ++i) {
    auto* b = new QPushButton(captions[i], this);
    b->setObjectName(QString(captions[i]).remove(' ') + "Btn");
    connect(b, &QPushButton::clicked, this, [this, i] {
      Choice_ = static_cast<TRenderedSkinChoice>(i);
      accept();
    });
    row->addWidget(b);
    Buttons_[i] = b;
  }
  Buttons_[0]->setDefault(true);
  column->addLayout(row);
}

TRenderedSkinChoice TTextureDestinationDialog::Ask() {
  Choice_ = rsDiscard;
  return exec() == QDialog::Accepted ? Choice_ : rsDiscard;
}

QPushButton* TTextureDestinationDialog::Button(TRenderedSkinChoice choice) const {
  return choice >= rsInsertNew && choice <= rsDiscard ? Buttons_[choice] : nullptr;
}
