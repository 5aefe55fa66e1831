#include "tessel/ui/UndoActions.h"

#include <QAction>
#include <QString>

#include "editor/MDLEdit.h"

namespace {

void Show(QAction* action, const QString& verb, bool can, const std::string& step) {
  if (!action) return;
  const QString name = can && !step.empty() ? verb + " " + QString::fromStdString(step) : verb;
  action->setText("&" + name);
  action->setToolTip(name);
  action->setStatusTip(can ? name : verb + ": nothing to " + verb.toLower());
  action->setEnabled(can);
}

}  // namespace

void ShowUndoState(const TMDLEditor& editor, QAction* undo, QAction* redo) {
  Show(undo, "Undo", editor.CanUndo(), editor.History.UndoName());
  Show(redo, "Redo", editor.CanRedo(), editor.History.RedoName());
}
