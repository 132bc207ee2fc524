#pragma once
// The frame's image list of tree images: `count` icons from `first_icon` on, then the blended look of
// each. Filled in two strips: adding the icons one at a time has the image list copy each icon from its
// resource again, which costs a third of a second at start-up under Wine.
#include <windows.h>
#include <commctrl.h>

HIMAGELIST CreateTreeImageList(HINSTANCE instance, int first_icon, int count, int size);
