#pragma once
// "Memory Usage": the heap statistics of this process, for the curious and
// for hunting leaks during long sessions.

#include <QDialog>
#include <cstdint>

class QLabel;

// Figures in bytes. The address space and what of it is not resident come
// from the kernel; the rest from the allocator.
struct THeapStatus {
  uint64_t TotalAddrSpace = 0;
  uint64_t TotalUncommitted = 0;
  uint64_t TotalAllocated = 0;
  uint64_t TotalFree = 0;
  // Resident memory outside the heap: code, libraries, stacks.
  uint64_t Overhead = 0;
};

THeapStatus ReadHeapStatus();

class TMemUsageDialog : public QDialog {
  Q_OBJECT

public:
  explicit TMemUsageDialog(QWidget* parent = nullptr);

  // The value label beside the caption `caption` ("Total Allocated", ...);
  // null for an unknown caption.
  QLabel* ValueLabel(const QString& caption) const;
  // "1,234,567 bytes".
  static QString FormatBytes(uint64_t bytes);
};
