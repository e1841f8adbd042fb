// The about box's artwork, drawn at build time by vxaboutart and embedded in vx_about_artwork:
//
//   :/vxabout/logo.png  the product logo across the top of the about box, kLogoWidth by
//                       kLogoHeight on white (the dialog's background): an open book whose
//                       right page carries a barcode, and the name "Vellumdex"
#pragma once

// Registers the artwork's resource. It lives in a static library, so whoever shows the logo
// calls this first; calling it more than once is harmless.
void vxInitAboutArtwork();

namespace vx::about::artwork {

constexpr int kLogoWidth = 335;
constexpr int kLogoHeight = 73;

}  // namespace vx::about::artwork
