// The program's icon, drawn at build time by vxdesktopart (main.cpp): the hicolor theme's
// PNG icons that the package installs, and the same pictures embedded in vx_desktop_icons as
// the resources :/vxdesktop/<N>.png, from which vxdown takes its windows' icon.
#pragma once

#include <QIcon>

namespace vx::desktop {

// The sizes drawn, in pixels; each is drawn for itself.
inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The program's icon from the embedded pictures, for QApplication::setWindowIcon. The pictures
// are read only when a size is first painted, so this costs the start nothing worth measuring.
QIcon applicationIcon();

}  // namespace vx::desktop
