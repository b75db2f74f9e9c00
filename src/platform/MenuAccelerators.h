#pragma once
// Keeps a frame's menu items from acting on keys by themselves. The shortcut texts in the menu
// are only shown; the keys belong to the frame's accelerator table, whose commands differ from
// the menu items' (Enter flashes the record button before it records, for example).

class wxFrame;

namespace platform {

// Call after the menu bar has been attached to frame. User-interface thread.
void DetachMenuAccelerators(wxFrame* frame);

}  // namespace platform
