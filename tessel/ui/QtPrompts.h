#pragma once
// The model operations' questions and notices as message boxes.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "mdl/Prompts.h"

class TQtPrompts : public TPrompts {
public:
  enum class TKind { Information, Confirm };
  // Answers in place of a box when set (returns true for Yes; the answer to
  // an information box is ignored). Window tests set it so that nothing
  // waits for a click.
  using TAnswerer = std::function<bool(TKind kind, const std::string& text, const std::string& caption)>;
  static TAnswerer Answerer;

  // The boxes are centred on `parent` when it is given.
  explicit TQtPrompts(QWidget* parent = nullptr) : Parent_(parent) {}
  void SetParent(QWidget* parent) { Parent_ = parent; }

  void Information(const std::string& text, const std::string& caption) override;
  bool Confirm(const std::string& text, const std::string& caption) override;

private:
  QPointer<QWidget> Parent_;
};
