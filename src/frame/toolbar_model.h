// The main window's three dockable toolbars as plain data; the front end supplies the images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kx7 {

// A separator has id 0 and no label. A check button stays pressed while its command's update
// handler says so.
struct ToolbarButton {
  std::string label;
  std::uint32_t id = 0;
  bool separator = false;
  bool check = false;
};

struct Toolbar {
  std::string name;
  bool shown = false;
  std::vector<ToolbarButton> buttons;
};

// Main, Asymtek and development toolbars, in that order, every time; the settings only decide which
// are shown and, through `classic` (ClassicToolbar), the variant of the main one.
std::vector<Toolbar> BuildToolbars(bool classic, bool asymtek, bool development);

}  // namespace kx7
