#include "tessel/ui/DurationEditor.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <charconv>
#include <cstdio>

#include "editor/MDLEdit.h"
#include "tessel/ui/ModelViewer.h"

namespace {

// A duration as the model files write it: fixed point, two decimals, "."
// whatever the locale. Empty when the text is no number.
QString Normalised(const QString& text) {
  const std::string s = text.trimmed().toStdString();
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return {};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return QString::fromLatin1(buf);
}

}  // namespace

TDurationEditor::TDurationEditor(QWidget* parent) : QDialog(parent), Grid_(new QTableWidget(this)) {
  setObjectName("DurationEditor");
  TMDLEditor& e = TMDLEditor::Instance();
  setWindowTitle(QString::fromStdString(e.CurrentSceneName()));
  const std::vector<std::string> lines = e.IsValid() ? e.GetSceneDurations() : std::vector<std::string>();
  Grid_->setColumnCount(1);
  Grid_->setHorizontalHeaderLabels({"Duration"});
  Grid_->setRowCount(static_cast<int>(lines.size()));
  Filling_ = true;
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    Grid_->setVerticalHeaderItem(i, new QTableWidgetItem(QString::number(i + 1)));
    Grid_->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(lines[static_cast<size_t>(i)]).trimmed()));
  }
  Filling_ = false;
  connect(Grid_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (Filling_) return;
    const QString n = Normalised(item->text());
    if (n.isEmpty() || n == item->text()) return;
    Filling_ = true;
    item->setText(n);
    Filling_ = false;
  });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Grid_);
  layout->addWidget(buttons);
}

QStringList TDurationEditor::Lines() const {
  QStringList result;
  for (int i = 0; i < Grid_->rowCount(); ++i) result << (Grid_->item(i, 0) ? Grid_->item(i, 0)->text() : QString());
  return result;
}

void TDurationEditor::accept() {
  std::vector<std::string> lines;
  for (const QString& l : Lines()) lines.push_back(l.toStdString());
  // The editor checks every line before it uses any; a bad one keeps the
  // dialog open.
  try {
    TMDLEditor::Instance().SetSceneDurations(lines);
  } catch (const std::exception& e) {
    TModelViewer::ShowError(this, QString::fromUtf8(e.what()));
    return;
  }
  QDialog::accept();
}
