#include "resources/tables.h"

#include "resources/resource.h"

#include <map>

namespace res {

namespace {

MenuItem Cmd(unsigned id, const char* text) { return {MenuItem::Kind::Command, id, text, {}, false}; }
MenuItem Sep() { return {MenuItem::Kind::Separator, 0, {}, {}, false}; }
MenuItem Popup(const char* text, std::vector<MenuItem> children) {
  return {MenuItem::Kind::Popup, 0, text, std::move(children), false};
}

}  // namespace

const std::vector<MenuItem>& MainMenu() {
  static const std::vector<MenuItem> menu = [] {
    MenuItem recent = Cmd(ID_FILE_MRU_FILE1, "Recent File");
    recent.greyed = true;
    return std::vector<MenuItem>{
        Popup(
            "&File",
            {Cmd(ID_FILE_OPEN, "&Open File...\tCtrl+O"), Cmd(ID_FILE_OPEN_FOLDER, "Open &Folder...\tCtrl+Shift+O"),
             Sep(), Cmd(ID_COMPARE_FILES, "Compare Files..."), Sep(),
             Cmd(ID_EXPORT_REFERENCE, "&Export Reference Image..."), Sep(), recent, Sep(), Cmd(ID_APP_EXIT, "E&xit")}),
        Popup("&Edit", {Cmd(ID_EDIT_COPY, "&Copy\tCtrl+C")}),
        Popup("&View",
              {Popup("&Toolbars and Docking Windows", {Cmd(ID_VIEW_TOOLBAR, "<placeholder>")}),
               Cmd(ID_VIEW_STATUS_BAR, "&Status Bar"),
               Popup("&Application Look",
                     {Cmd(ID_VIEW_APPLOOK_WIN_2000, "Windows &2000"), Cmd(ID_VIEW_APPLOOK_OFF_XP, "Office &XP"),
                      Cmd(ID_VIEW_APPLOOK_WIN_XP, "&Windows XP"), Cmd(ID_VIEW_APPLOOK_OFF_2003, "Office 200&3"),
                      Cmd(ID_VIEW_APPLOOK_VS_2005, "Visual Studio 200&5"),
                      Cmd(ID_VIEW_APPLOOK_VS_2008, "Visual Studio 200&8"),
                      Popup("Office 200&7", {Cmd(ID_VIEW_APPLOOK_OFF_2007_BLUE, "&Blue Style"),
                                             Cmd(ID_VIEW_APPLOOK_OFF_2007_BLACK, "B&lack Style"),
                                             Cmd(ID_VIEW_APPLOOK_OFF_2007_SILVER, "&Silver Style"),
                                             Cmd(ID_VIEW_APPLOOK_OFF_2007_AQUA, "&Aqua Style")})}),
               Sep(), Cmd(ID_RESULTS, "&Results")}),
        Popup("&Options",
              {Cmd(ID_SMART_AREA, "&Use Smart Selected Area Calculations"), Cmd(ID_ENABLE_PROBE, "&Enable Probe Tool"),
               Sep(), Cmd(ID_SET_THRESHOLD, "&Set CS Threshold...")}),
        Popup("&Help", {Cmd(ID_APP_ABOUT, "&About Varenko..."), Sep(), Cmd(ID_PROGRAM_GUIDE, "&Program's Guide...")}),
    };
  }();
  return menu;
}

const MenuItem& EditPopupMenu() {
  static const MenuItem popup = Popup("Edit", {Cmd(ID_EDIT_CUT, "Cu&t\tCtrl+X"), Cmd(ID_EDIT_COPY, "&Copy\tCtrl+C"),
                                               Cmd(ID_EDIT_PASTE, "&Paste\tCtrl+V")});
  return popup;
}

const std::vector<unsigned>& ToolBarButtons() {
  static const std::vector<unsigned> buttons = {ID_FILE_OPEN,  ID_FILE_OPEN_FOLDER, 0, ID_COMPARE_FILES, 0,
                                                ID_SMART_AREA, ID_ENABLE_PROBE,     0, ID_RESULTS,       0,
                                                ID_APP_ABOUT,  ID_PROGRAM_GUIDE};
  return buttons;
}

int ToolBarImageIndex(unsigned id) {
  int index = 0;
  for (unsigned button : ToolBarButtons()) {
    if (button == 0) continue;
    if (button == id) return index;
    ++index;
  }
  return -1;
}

const std::vector<Accelerator>& Accelerators() {
  static const std::vector<Accelerator> accelerators = {
      {ID_EDIT_COPY, "Ctrl+C"}, {ID_EDIT_COPY, "Ctrl+Ins"}, {ID_FILE_OPEN, "Ctrl+O"},
      {ID_NEXT_PANE, "F6"},     {ID_PREV_PANE, "Shift+F6"}, {ID_FILE_OPEN_FOLDER, "Ctrl+Shift+O"},
  };
  return accelerators;
}

CommandString CommandStringOf(unsigned id) {
  static const std::map<unsigned, CommandString> strings = {
      {ID_FILE_OPEN, {"Open an existing document", "Open"}},
      {ID_FILE_OPEN_FOLDER, {"Open all the documents in a folder", "Open Folder"}},
      {ID_COMPARE_FILES, {"Compare two files", "Compare files"}},
      {ID_EXPORT_REFERENCE, {"", "Export Reference Image"}},
      {ID_FILE_MRU_FILE1, {"Open this document", ""}},
      {ID_APP_EXIT, {"Quit the application; prompts to save documents", "Exit"}},
      {ID_EDIT_COPY, {"Copy the selection and put it on the Clipboard", "Copy"}},
      {ID_VIEW_STATUS_BAR, {"Show or hide the status bar", "Toggle Status Bar"}},
      {ID_RESULTS, {"", "View Results"}},
      {ID_SMART_AREA, {"", "Use Smart Selected Area Calculations"}},
      {ID_ENABLE_PROBE, {"", "Enable Probe Tool"}},
      {ID_SET_THRESHOLD, {"", "Set CS Threshold"}},
      {ID_APP_ABOUT, {"Display program information, version number and copyright", "About"}},
      {ID_PROGRAM_GUIDE, {"", "Program's Guide"}},
      {ID_NEXT_PANE, {"Switch to the next window pane", "Next Pane"}},
      {ID_PREV_PANE, {"Switch back to the previous window pane", "Previous Pane"}},
      {ID_EDIT_CUT, {"Cut the selection and put it on the Clipboard", "Cut"}},
      {ID_EDIT_PASTE, {"Insert Clipboard contents", "Paste"}},
  };
  if (id > ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_LAST) id = ID_FILE_MRU_FILE1;
  const auto it = strings.find(id);
  return it == strings.end() ? CommandString{} : it->second;
}

std::string LoadString(int id) {
  switch (id) {
    case IDS_TOOLBAR_STANDARD:
      return "Standard";
    case IDS_TOOLBAR_CUSTOMIZE:
      return "Customize...";
    case IDS_EDIT_MENU:
      return "Edit";
    default:
      return {};
  }
}

}  // namespace res
