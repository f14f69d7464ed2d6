// Menu words: every word on screen is a sprite identified by an integer tag.
#pragma once

namespace tdx {

struct MenuState {
  int MouseX = 0;
  int MouseY = 0;
  bool MouseClicked = false;
  bool PopupFrameShown = false;
  int PopupFrameX = 0, PopupFrameY = 0, PopupFrameWidth = 0, PopupFrameHeight = 0;
};

}  // namespace tdx
