#include "artwork/barcode_strip/StripResource.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the resource's init function, so this stays outside any namespace.
void vxInitStripResource() { Q_INIT_RESOURCE(vxstrip); }
