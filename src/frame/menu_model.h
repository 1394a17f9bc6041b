// The main window's menu bar and the draw windows' pop-up menus as plain data. The front end turns
// them into real menus; the frame's update handlers decide what is enabled and checked.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kx7 {

// A menu entry. A popup has id 0 and children; a separator has id 0, no text and no children.
// Texts keep their "&" mnemonics; "&&" stands for a literal ampersand.
struct MenuItem {
  std::string text;
  std::uint32_t id = 0;
  bool separator = false;
  bool checkable = false;
  std::vector<MenuItem> children;
};

// COM port numbers that get an item in the Port and Barcode Scanner menus. Only ports up to 256
// reach the command handlers; the items of higher ports are listed all the same, and some of their
// numbers are those of other commands (the scanner item of COM258 is 35258, the USB scanner dialog),
// so a frame that routes by number must check the port range first.
inline constexpr int kFirstMenuPort = 1;
inline constexpr int kLastMenuPort = 511;

// The top-level menus of the main window, in menu-bar order, without the port items.
std::vector<MenuItem> BuildMainMenu();

// The right-click menus of the draw window and of the multitouch draw window.
std::vector<MenuItem> BuildDrawContextMenu();
std::vector<MenuItem> BuildMultiDrawContextMenu();

// Depth-first search for the first item with this id; nullptr when there is none or id is 0.
const MenuItem* FindMenuItem(const std::vector<MenuItem>& menus, std::uint32_t id);
MenuItem* FindMenuItem(std::vector<MenuItem>& menus, std::uint32_t id);

// Every non-zero id in the tree, in menu order, duplicates kept.
std::vector<std::uint32_t> CollectMenuIds(const std::vector<MenuItem>& menus);

// "Open Com%d", with " Bluetooth" appended for Bluetooth ports.
std::string PortItemText(int portNumber, bool bluetooth);

// Puts one item per present COM port (number, text) before "&Close Active Port" (id 34000 + N) and
// before the Barcode Scanner's "&Off" (id 35000 + N), in ascending port order. Numbers outside
// kFirstMenuPort..kLastMenuPort are ignored, a repeated number keeps its first text, and port items
// already in the menus are replaced, so the frame can call this again after a device change.
void InsertPortItems(std::vector<MenuItem>& menus, const std::vector<std::pair<int, std::string>>& ports);

}  // namespace kx7
