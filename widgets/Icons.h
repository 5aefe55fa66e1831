#pragma once
// The programs' icons: the desktop theme's icon where the freedesktop
// naming has one, the program's own drawing otherwise.
//
// Theme names to pass with our icons (ours first):
//   new            document-new           open        document-open
//   save           document-save          saveas      document-save-as
//   exit           application-exit       options     preferences-system
//   about          help-about             copy        edit-copy
//   cut            edit-cut               paste       edit-paste
//   delete         edit-delete            undo        edit-undo
//   redo           edit-redo              zoom-in     zoom-in
//   zoom-out       zoom-out               play        media-playback-start
//   stop           media-playback-stop    first       go-first
//   prev           media-seek-backward    next        media-seek-forward
//   last           go-last                import      document-import
//   export         document-export        snapshot    camera-photo
// The others (the tools, the editors, the window arrangements, the views, the
// dumps, archive and extract, and the two programs) have no fitting standard
// name and are always our own; tessel and cairnbox are also installed into
// the hicolor theme under those names.

#include <span>

#include <QIcon>

// `name` is the program's own icon (":/icons/<name>.svg"); `themeName`,
// when given, the standard name to prefer from the desktop's theme. Under a
// dark application palette our drawings get a light outline.
QIcon ProgramIcon(const char* name, const char* themeName = nullptr);

struct TProgramIconInfo {
  const char* Name;       // ":/icons/<Name>.svg"
  const char* ThemeName;  // the freedesktop name to prefer, or nullptr
};

// Every icon the program draws for itself, with the theme name listed above.
std::span<const TProgramIconInfo> ProgramIcons();

// The theme name that goes with our icon `name`, or nullptr when it has none
// (or is not one of ours).
const char* ProgramIconThemeName(const char* name);
