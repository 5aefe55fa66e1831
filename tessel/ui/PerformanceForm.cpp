#include "tessel/ui/PerformanceForm.h"

#include <QFormLayout>
#include <QLabel>
#include <QTimer>

#include "render/MDLFramePaintBox.h"

TPerformanceForm::TPerformanceForm(QWidget* parent) : QWidget(parent, Qt::Tool) {
  setObjectName("PerformanceForm");
  setWindowTitle("Rendering Performance");
  auto* form = new QFormLayout(this);
  auto label = [this](const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
  };
  Frame_ = label("Frame");
  Triangles_ = label("Triangles");
  Rate_ = label("Rate");
  Counters_ = label("Counters");
  form->addRow("Frame paint time:", Frame_);
  form->addRow("Triangle paint time:", Triangles_);
  form->addRow("Achievable rate:", Rate_);
  form->addRow("Counters:", Counters_);
  Timer_ = new QTimer(this);
  Timer_->setInterval(500);
  connect(Timer_, &QTimer::timeout, this, [this] { Refresh(); });
  Refresh();
}

void TPerformanceForm::SetView(TMDLFramePaintBox* view) {
  View_ = view;
  Refresh();
}

QString TPerformanceForm::RateText(double ms) {
  return QString::asprintf("%.2f fps", ms > 0 ? 1000.0 / ms : 0.0);
}

void TPerformanceForm::Refresh() {
  if (!View_) {
    for (QLabel* l : {Frame_, Triangles_, Counters_}) l->setText("-");
    Rate_->setText(RateText(0));
    return;
  }
  const TPerformanceInfo& p = View_->Performance;
  Frame_->setText(QString::asprintf("%.2f ms", double(p.FramePaintTime)));
  Triangles_->setText(QString::asprintf("%.2f ms", double(p.TrianglePaintTime)));
  Rate_->setText(RateText(p.FramePaintTime));
  Counters_->setText(QString("%1  %2  %3  %4").arg(p.Counters[0]).arg(p.Counters[1]).arg(p.Counters[2]).arg(p.Counters[3]));
}

QString TPerformanceForm::Text(const QString& row) const {
  for (const QLabel* l : {Frame_, Triangles_, Rate_, Counters_})
    if (l->objectName() == row) return l->text();
  return {};
}

void TPerformanceForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Refresh();
  Timer_->start();
}

void TPerformanceForm::hideEvent(QHideEvent* event) {
  Timer_->stop();
  QWidget::hideEvent(event);
}
