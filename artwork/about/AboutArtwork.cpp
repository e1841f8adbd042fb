#include "artwork/about/AboutArtwork.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the resource's init function, so this stays outside any namespace.
void vxInitAboutArtwork() { Q_INIT_RESOURCE(vxaboutart); }
