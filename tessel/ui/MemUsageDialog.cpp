#include "tessel/ui/MemUsageDialog.h"

#include <malloc.h>

#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr const char* kCaptions[] = {"Total Addr Space", "Total Uncommitted", "Total Allocated", "Total Free",
                                     "Overhead"};

// A "VmXxx:   1234 kB" line of /proc/self/status, in bytes; 0 when absent.
uint64_t StatusBytes(const QByteArray& status, const QByteArray& key) {
  for (const QByteArray& line : status.split('\n')) {
    if (!line.startsWith(key + ':')) continue;
    const QList<QByteArray> parts = line.mid(key.size() + 1).simplified().split(' ');
    bool ok = false;
    const uint64_t kb = parts.value(0).toULongLong(&ok);
    return ok ? kb * 1024 : 0;
  }
  return 0;
}

}  // namespace

THeapStatus ReadHeapStatus() {
  THeapStatus s;
  QFile file("/proc/self/status");
  QByteArray status;
  // The file is small; the limit only guards against a strange system.
  if (file.open(QIODevice::ReadOnly)) status = file.read(1 << 16);
  const uint64_t size = StatusBytes(status, "VmSize");
  const uint64_t resident = StatusBytes(status, "VmRSS");
  const struct mallinfo2 mi = mallinfo2();
  s.TotalAddrSpace = size;
  s.TotalUncommitted = size > resident ? size - resident : 0;
  s.TotalAllocated = mi.uordblks + mi.hblkhd;
  s.TotalFree = mi.fordblks;
  const uint64_t heap = mi.arena + mi.hblkhd;
  s.Overhead = resident > heap ? resident - heap : 0;
  return s;
}

QString TMemUsageDialog::FormatBytes(uint64_t bytes) {
  QString digits = QString::number(bytes);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, ',');
  return digits + " bytes";
}

TMemUsageDialog::TMemUsageDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Memory Usage");
  setModal(true);
  const THeapStatus s = ReadHeapStatus();
  const uint64_t values[] = {s.TotalAddrSpace, s.TotalUncommitted, s.TotalAllocated, s.TotalFree, s.Overhead};
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  for (size_t i = 0; i < std::size(kCaptions); ++i) {
    auto* value = new QLabel(FormatBytes(values[i]), this);
    value->setObjectName(kCaptions[i]);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QString(kCaptions[i]), value);
  }
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

QLabel* TMemUsageDialog::ValueLabel(const QString& caption) const {
  return std::find(std::begin(kCaptions), std::end(kCaptions), caption) == std::end(kCaptions)
             ? nullptr
             : findChild<QLabel*>(caption);
}
