// The barcode strip of the circulation window, embedded as the resource
// ":/vxdown/barcode_strip.bmp" (350 by 21 pixels, five frames of 70 by 21, magenta background).
#pragma once

// Registers the strip's resource. The resource lives in a static library, so the program must
// call this once at start, after creating the application object and before loading the strip.
// Calling it more than once is harmless.
void vxInitStripResource();
