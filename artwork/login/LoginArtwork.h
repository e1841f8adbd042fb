// The artwork of the login dialog and the wait dialog, drawn at build time by vxloginart and
// embedded in vx_login_artwork as these resources:
//
//   :/vxlogin/filesearch.png      animation strip "searching files": kFrameCount frames of
//                                 kFrameWidth by kFrameHeight side by side, magenta background
//   :/vxlogin/computersearch.png  animation strip "connecting to the database", same size and
//                                 frame count, magenta background
//   :/vxlogin/background.png      the wait dialog's background, 326 by 93, light and plain
//                                 enough for black text over it; no transparent colour
//   :/vxlogin/unittree.png        the unit tree's images: kTreeImageCount squares of
//                                 kTreeImageSize side by side, magenta background; an even
//                                 index is the normal image, the index after it the same image
//                                 selected (see the kTree... indices below)
//   :/vxlogin/login.png           the login dialog's icon, 32 by 32, magenta background
//
// Magenta (255, 0, 255) is the colour the controls show their own background through.
#pragma once

// Registers the artwork's resources. They live in a static library, so the program must call
// this once at start, after creating the application object and before loading a picture.
// Calling it more than once is harmless.
void vxInitLoginArtwork();

namespace vx::login::artwork {

// One frame of the two animation strips: the size of the wait dialog's animation control.
constexpr int kFrameWidth = 39;
constexpr int kFrameHeight = 63;
// Frames in each strip; the last frame leads back into the first, so the strips loop.
constexpr int kFrameCount = 16;

// The unit tree's images: squares of this size, this many side by side.
constexpr int kTreeImageSize = 16;
constexpr int kTreeImageCount = 10;

// Indices of the unit tree's normal images; the selected image of each is at index + 1.
constexpr int kTreeThisLibrary = 0;
constexpr int kTreeOtherLibrary = 2;
constexpr int kTreeUnit = 4;
constexpr int kTreeDepartment = 6;
constexpr int kTreeIllUnit = 8;
constexpr int kTreeSelectedOffset = 1;

}  // namespace vx::login::artwork
