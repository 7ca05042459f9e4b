#pragma once

#include <string>
#include <vector>

// The program's menus, tool bar, accelerators and command strings.

namespace res {

struct MenuItem {
  enum class Kind { Command, Separator, Popup };
  Kind kind = Kind::Command;
  unsigned id = 0;                 // command id (commands; 0 for popups)
  std::string text;                // with '&' before the access key and "\t" before a shortcut
  std::vector<MenuItem> children;  // items of a popup
  bool greyed = false;             // shown disabled whatever its handlers say
};

// The main menu: File, Edit, View, Options, Help.
const std::vector<MenuItem>& MainMenu();
// The view's context menu: one popup "Edit" with Cut, Copy and Paste.
const MenuItem& EditPopupMenu();

// The buttons of the main tool bar in order; 0 stands for a separator.
const std::vector<unsigned>& ToolBarButtons();
// Index of a command's picture in the tool-bar strip, or -1.
int ToolBarImageIndex(unsigned id);

struct Accelerator {
  unsigned id;
  std::string key;  // in Qt's portable key-sequence text, e.g. "Ctrl+Shift+O"
};
const std::vector<Accelerator>& Accelerators();

// The string of a command: its status-bar prompt and its tooltip, either
// empty when the command has none.
struct CommandString {
  std::string prompt;
  std::string tooltip;
};
CommandString CommandStringOf(unsigned id);

// Other strings of the program by id (124 "Standard", 125 "Customize...",
// 306 "Edit"); empty for an unknown id.
std::string LoadString(int id);

}  // namespace res
