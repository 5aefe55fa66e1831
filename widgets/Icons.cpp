#include "widgets/Icons.h"

#include <QFile>
#include <QString>

QIcon ProgramIcon(const char* name, const char* themeName) {
  const QString file = QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(name));
  QIcon own = QFile::exists(file) ? QIcon(file) : QIcon();
  if (themeName && QIcon::hasThemeIcon(QString::fromLatin1(themeName)))
    return QIcon::fromTheme(QString::fromLatin1(themeName), own);
  return own;
}
