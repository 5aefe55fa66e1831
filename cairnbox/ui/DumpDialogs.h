#pragma once
// The two views of one member's bytes: "HexDump" (rows of hex bytes) and
// "TextDump" (the bytes as lines of text). Each owns its copy of the bytes.

#include <QDialog>
#include <cstdint>
#include <vector>

class QPlainTextEdit;
class QPushButton;
class THexDump;

class THexViewDialog : public QDialog {
  Q_OBJECT

public:
  THexViewDialog(std::vector<uint8_t> bytes, QWidget* parent = nullptr);
  THexDump* Dump = nullptr;
  QPushButton* OK = nullptr;

private:
  std::vector<uint8_t> Bytes_;
};

class TTextViewDialog : public QDialog {
  Q_OBJECT

public:
  TTextViewDialog(const std::vector<uint8_t>& bytes, QWidget* parent = nullptr);
  QPlainTextEdit* Memo = nullptr;
  QPushButton* OK = nullptr;

  // The lines the bytes make: CR LF, LF and CR each end a line, a break at
  // the very end adds no empty line; 8-bit characters, NUL shown as a blank.
  static QStringList TextLines(const std::vector<uint8_t>& bytes);
};
