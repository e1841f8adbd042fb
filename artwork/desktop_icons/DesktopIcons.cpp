#include "artwork/desktop_icons/DesktopIcons.h"

#include <QSize>
#include <QString>
#include <QtGlobal>

// Q_INIT_RESOURCE declares the resource's init function, so this stays outside any namespace
// (a declaration in an unnamed namespace's function would name another function).
static void initDesktopIconsResource() { Q_INIT_RESOURCE(vxdesktopicons); }

namespace vx::desktop {

QIcon applicationIcon() {
  initDesktopIconsResource();
  QIcon icon;
  // With the size given, QIcon reads no file until that size is painted.
  for (const int size : kIconSizes)
    icon.addFile(QStringLiteral(":/vxdesktop/%1.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace vx::desktop
