#include "artwork/login/LoginArtwork.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the resource's init function, so this stays outside any namespace.
void vxInitLoginArtwork() { Q_INIT_RESOURCE(vxloginart); }
