#include "tessel/ui/ModelViewer.h"

#include <QMdiArea>

TModelViewer::TModelViewer(const QStringList& arguments, QWidget* parent) : QMainWindow(parent) {
  (void)arguments;
  setWindowTitle("Tessel");
  MdiArea_ = new QMdiArea(this);
  setCentralWidget(MdiArea_);
}

TModelViewer::~TModelViewer() = default;
