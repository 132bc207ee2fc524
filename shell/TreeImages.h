#pragma once
// The frame's image list of tree images: `count` icons from `first_icon` on, then the blended look of
// each. Filled in two strips: added one icon at a time, the 76 images cost a third of a second of
// start-up under Wine.
#include <windows.h>
#include <commctrl.h>

HIMAGELIST CreateTreeImageList(HINSTANCE instance, int first_icon, int count, int size);
