#pragma once
// The Undo and Redo entries of the main window's Edit menu and of the
// editor windows' tool bars: they follow the editor's history.

class QAction;
class TMDLEditor;

// Enables each action when there is a step to undo (redo) and names the
// step in its caption and hint: "&Undo Delete Frame", or "&Undo" alone
// when there is none.
void ShowUndoState(const TMDLEditor& editor, QAction* undo, QAction* redo);
