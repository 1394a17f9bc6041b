#include "frame/menu_model.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "controller/controller_type_names.h"
#include "frame/command_ids.h"
#include "frame/toolbar_model.h"

namespace kx7 {
namespace {

const MenuItem* TopMenu(const std::vector<MenuItem>& menus, const std::string& text) {
  for (const MenuItem& menu : menus) {
    if (menu.text == text) return &menu;
  }
  return nullptr;
}

const MenuItem* SubMenu(const MenuItem& menu, const std::string& text) {
  for (const MenuItem& item : menu.children) {
    if (item.text == text && !item.children.empty()) return &item;
  }
  return nullptr;
}

std::vector<std::uint32_t> Ids(const std::vector<MenuItem>& items) {
  std::vector<std::uint32_t> ids;
  for (const MenuItem& item : items) ids.push_back(item.id);
  return ids;
}

// Counts mnemonic markers: "&&" is a literal ampersand, a single "&" must precede a character.
int Mnemonics(const std::string& text, bool& wellFormed) {
  int count = 0;
  wellFormed = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (i + 1 < text.size() && text[i + 1] == '&') {
      ++i;
    } else if (i + 1 == text.size() || text[i + 1] == ' ') {
      wellFormed = false;
    } else {
      ++count;
    }
  }
  return count;
}

void CheckWellFormed(const std::vector<MenuItem>& items, const std::string& where) {
  ASSERT_FALSE(items.empty()) << where;
  EXPECT_FALSE(items.front().separator) << where << " starts with a separator";
  EXPECT_FALSE(items.back().separator) << where << " ends with a separator";
  for (std::size_t i = 0; i < items.size(); ++i) {
    const MenuItem& item = items[i];
    const std::string path = where + " > " + (item.separator ? "---" : item.text);
    if (item.separator) {
      EXPECT_EQ(item.id, 0u) << path;
      EXPECT_TRUE(item.text.empty()) << path;
      EXPECT_TRUE(item.children.empty()) << path;
      EXPECT_FALSE(item.checkable) << path;
      if (i + 1 < items.size()) {
        EXPECT_FALSE(items[i + 1].separator) << path << " is doubled";
      }
      continue;
    }
    EXPECT_FALSE(item.text.empty()) << path;
    bool wellFormed = true;
    EXPECT_LE(Mnemonics(item.text, wellFormed), 1) << path;
    EXPECT_TRUE(wellFormed) << path;
    if (!item.children.empty()) {
      EXPECT_EQ(item.id, 0u) << path << ": a popup sends no command";
      EXPECT_FALSE(item.checkable) << path;
      CheckWellFormed(item.children, path);
    } else {
      EXPECT_NE(item.id, 0u) << path << ": an item without a command and without children";
    }
  }
}

TEST(CommandIds, EveryNamedCommandHasItsOwnNumber) {
  std::map<CommandId, std::string_view> seen;
  for (const cmd::NamedCommand& entry : cmd::kNamedCommands) {
    const auto [it, inserted] = seen.emplace(entry.id, entry.name);
    EXPECT_TRUE(inserted) << entry.name << " and " << it->second << " share " << entry.id;
  }
  EXPECT_EQ(cmd::CommandName(32889), "kFindController");
  EXPECT_EQ(cmd::CommandName(34001), "");  // port items are computed, not named
  EXPECT_EQ(cmd::CommandName(0), "");
}

TEST(CommandIds, RangesRoutedToOneHandlerHaveFixedBounds) {
  struct Bound {
    CommandId actual;
    CommandId expected;
    const char* what;
  };
  const Bound bounds[] = {
      {cmd::kDataFirst, 32768, "data first"},
      {cmd::kDataLast, 32800, "data last"},
      {cmd::kFormatFirst, 32816, "format first"},
      {cmd::kFormatLast, 32843, "format last"},
      {cmd::kTypeMenuFirst, 32852, "type first"},
      {cmd::kTypeMenuLast, 32889, "type last"},
      {cmd::kLauncherFirst, 32957, "launcher first"},
      {cmd::kLauncherLast, 33042, "launcher last"},
      {cmd::kOpenComBase, 34000, "open com base"},
      {cmd::kOpenComLast, 34256, "open com last"},
      {cmd::kScannerComBase, 35000, "scanner base"},
      {cmd::kScannerLast, 35258, "scanner last"},
      {cmd::kCloseActivePort, 34000, "close port"},
      {cmd::kScannerOff, 35000, "scanner off"},
      {cmd::kRobotPortBase, 33920, "robot base"},
      {cmd::kCopy, 57634, "copy"},
      {cmd::kPaste, 57637, "paste"},
      {cmd::kSelectAll, 57642, "select all"},
      {cmd::kAbout, 57664, "about"},
      {cmd::kExit, 57665, "exit"},
  };
  for (const Bound& bound : bounds) EXPECT_EQ(bound.actual, bound.expected) << bound.what;
  // The stored values ControllerType, PenMode and ReportFormat must stay inside their ranges.
  for (CommandId id : {cmd::kPenModeAuto, cmd::kPenModeFinger, cmd::kPenModePen, cmd::kTypeGeneric}) {
    EXPECT_TRUE(id > cmd::kTypeMenuFirst && id < cmd::kControllerTypeLast) << id;
  }
}

TEST(MainMenu, IsWellFormed) {
  CheckWellFormed(BuildMainMenu(), "menu bar");
  CheckWellFormed(BuildDrawContextMenu(), "draw pop-up");
  CheckWellFormed(BuildMultiDrawContextMenu(), "multitouch pop-up");
}

TEST(MainMenu, EveryCommandIsNamedAndAppearsOnce) {
  struct Case {
    const char* what;
    std::vector<MenuItem> menus;
  };
  const Case cases[] = {
      {"menu bar", BuildMainMenu()},
      {"draw pop-up", BuildDrawContextMenu()},
      {"multitouch pop-up", BuildMultiDrawContextMenu()},
  };
  for (const Case& c : cases) {
    std::set<std::uint32_t> seen;
    for (std::uint32_t id : CollectMenuIds(c.menus)) {
      EXPECT_TRUE(seen.insert(id).second) << c.what << ": " << id << " twice";
      EXPECT_NE(cmd::CommandName(id), "") << c.what << ": " << id << " is not a named command";
    }
  }
}

TEST(MainMenu, PortItemsStayUniqueAfterInsertion) {
  std::vector<MenuItem> menus = BuildMainMenu();
  InsertPortItems(menus, {{1, "Open Com1"}, {3, "Open Com3"}, {256, "Open Com256"}});
  std::set<std::uint32_t> seen;
  for (std::uint32_t id : CollectMenuIds(menus)) EXPECT_TRUE(seen.insert(id).second) << id;
}

TEST(MainMenu, ItemsSitWhereTheProgramPutsThem) {
  struct Placement {
    const char* menu;
    std::uint32_t id;
    const char* text;
  };
  // Menu and label as operators and production scripts know them.
  const Placement placements[] = {
      {"&File", 33050, "&Toggle Logging On/Off"},
      {"&File", 33054, "&View Log File"},
      {"&Port", 34000, "&Close Active Port"},
      {"&Port", 32889, "Fin&d Controller"},
      {"&Port", 35000, "&Off"},
      {"&Port", 35258, "&USB Scanner Input Dialog"},
      {"&Port", 33126, "Red&irect to Cable"},
      {"&Port", 35311, "Close Port and use WM_TOUCH input"},
      {"&Type", 32853, "Select Auto mode"},
      {"&Type", 32854, "Select Finger mode"},
      {"&Type", 32859, "Select Pen mode"},
      {"&Type", 32860, "Poll the controller for type"},
      {"F&ormat", 32822, "&Undecoded"},
      {"F&ormat", 32816, "&KXS (FT,FD,FH)"},
      {"F&ormat", 32818, "&Hex Dump"},
      {"F&ormat", 32835, "Enter Mode Pass Thru"},
      {"F&ormat", 32836, "Exit Mode Pass Thru"},
      {"F&ormat", 32841, "Mode Down/Up"},
      {"F&ormat", 32826, "Mode &Poll"},
      {"F&ormat", 33159, "Switch to Tablet Mode"},
      {"F&ormat", 33160, "Switch to HID Mode"},
      {"&Data", 32769, "Controller &Linearization Data"},
      {"&Data", 32770, "Cable Linearization Da&ta"},
      {"&Data", 32771, "Controller &ID"},
      {"&Data", 32774, "&Row Drive Levels"},
      {"&Data", 32775, "&Restore Defaults"},
      {"&Data", 32779, "Reboot EEPRO&M"},
      {"&Data", 32781, "Reboot R&OM"},
      {"&Data", 32782, "&Soft Reset"},
      {"&Data", 32800, "&Hard Reset"},
      {"&Data", 32790, "Rowan &Q Parameters"},
      {"&Data", 32791, "Rowan Defa&ult Params"},
      {"&Data", 32792, "Rowan &Parameter Restore Defaults"},
      {"Too&ls", 32959, "Template Dra&w"},
      {"Too&ls", 32960, "&Full Draw"},
      {"Too&ls", 32961, "&Terminal"},
      {"Too&ls", 32962, "S&plit Mode"},
      {"Too&ls", 32957, "&Calibration"},
      {"Too&ls", 32972, "&Linearize"},
      {"Too&ls", 32979, "Scop&e"},
      {"Too&ls", 32968, "Fre&quency"},
      {"Too&ls", 32969, "&Grid Maker"},
      {"Too&ls", 33009, "Rowan Debu&g"},
      {"Too&ls", 33016, "&4pt Prove"},
      {"Too&ls", 33019, "H&aptic"},
      {"Too&ls", 35275, "Color C&ycle"},
      {"&Reports", 33166, "Sensiti&vity"},
      {"&Reports", 35313, "Extended Sensitivit&y"},
      {"&Reports", 35316, "Contact L&imit"},
      {"&Multitouch", 33022, "&Multi Draw"},
      {"&Multitouch", 33023, "&Full Screen Multi Draw"},
      {"&Multitouch", 33030, "&Graph"},
      {"O&ptions", 32936, "&Options"},
      {"O&ptions", 33112, "Show Text &Labels"},
      {"&Window", 32937, "Cl&ose"},
      {"&Help", 57664, "&About KX7SDU..."},
  };
  const std::vector<MenuItem> menus = BuildMainMenu();
  for (const Placement& p : placements) {
    const MenuItem* menu = TopMenu(menus, p.menu);
    ASSERT_NE(menu, nullptr) << p.menu;
    const MenuItem* item = FindMenuItem(menu->children, p.id);
    ASSERT_NE(item, nullptr) << p.id << " is not in " << p.menu;
    EXPECT_EQ(item->text, p.text) << p.id;
  }
}

TEST(MainMenu, CommandsReachedOnlyByToolbarOrByOtherWindowsHaveNoItem) {
  const std::vector<MenuItem> menus = BuildMainMenu();
  // The RAM reboot has no menu item; reload and UEFI load are development-toolbar only; the toolbar's
  // calibration and pass-through buttons have menu counterparts of their own.
  for (std::uint32_t id : {32780u, 32795u, 32797u, 32988u, 33068u}) {
    EXPECT_EQ(FindMenuItem(menus, id), nullptr) << id;
  }
}

TEST(MainMenu, StoredChoicesAreCheckable) {
  const std::vector<MenuItem> menus = BuildMainMenu();
  for (std::uint32_t id :
       {cmd::kPenModeAuto, cmd::kPenModeFinger, cmd::kPenModePen, cmd::kFormatKxs, cmd::kFormatUndecoded,
        cmd::kFormatHexDump, cmd::kCloseActivePort, cmd::kScannerOff, cmd::kScannerUsbDialog, cmd::kScannerToBlock4,
        cmd::kShowTextLabels, cmd::kClassicToolbar, cmd::kModePoll, cmd::kRobotPortOff}) {
    const MenuItem* item = FindMenuItem(menus, id);
    ASSERT_NE(item, nullptr) << id;
    EXPECT_TRUE(item->checkable) << id;
  }
  for (std::uint32_t id : {cmd::kFindController, cmd::kPollControllerType, cmd::kExit, cmd::kSoftReset}) {
    const MenuItem* item = FindMenuItem(menus, id);
    ASSERT_NE(item, nullptr) << id;
    EXPECT_FALSE(item->checkable) << id;
  }
}

TEST(MainMenu, TypeMenuOffersEveryNamedTypeUnderItsName) {
  const std::vector<MenuItem> menus = BuildMainMenu();
  const MenuItem* typeMenu = TopMenu(menus, "&Type");
  ASSERT_NE(typeMenu, nullptr);
  for (std::uint32_t id = cmd::kTypeMenuFirst; id <= cmd::kControllerTypeLast; ++id) {
    const std::string name = ControllerTypeName(id);
    const MenuItem* item = FindMenuItem(typeMenu->children, id);
    const bool command = id == cmd::kPenModeAuto || id == cmd::kPenModeFinger || id == cmd::kPenModePen ||
                         id == cmd::kPollControllerType;
    if (command) {
      EXPECT_NE(item, nullptr) << id;
    } else if (name.empty()) {
      EXPECT_EQ(item, nullptr) << id << " has no name and cannot be chosen";
    } else {
      ASSERT_NE(item, nullptr) << name;
      EXPECT_EQ(item->text, name);
      EXPECT_TRUE(item->checkable) << name;
    }
  }
}

TEST(MainMenu, FindReturnsTheItemAndNothingForZero) {
  std::vector<MenuItem> menus = BuildMainMenu();
  EXPECT_EQ(FindMenuItem(menus, 0), nullptr);  // popups and separators carry 0
  EXPECT_EQ(FindMenuItem(menus, 12345), nullptr);
  MenuItem* item = FindMenuItem(menus, cmd::kScannerKeystrokes);  // nested two levels deep
  ASSERT_NE(item, nullptr);
  item->text = "changed";
  EXPECT_EQ(FindMenuItem(static_cast<const std::vector<MenuItem>&>(menus), cmd::kScannerKeystrokes)->text, "changed");
}

class PortItems : public ::testing::Test {
 protected:
  std::vector<MenuItem> menus = BuildMainMenu();

  std::vector<MenuItem>& PortList() { return const_cast<MenuItem*>(TopMenu(menus, "&Port"))->children; }
  std::vector<MenuItem>& ScannerList() {
    return const_cast<MenuItem*>(SubMenu(*TopMenu(menus, "&Port"), "&Barcode Scanner"))->children;
  }
};

TEST_F(PortItems, GoBeforeTheirAnchorsInAscendingOrder) {
  InsertPortItems(menus, {{10, PortItemText(10, false)},
                          {3, PortItemText(3, true)},
                          {1, PortItemText(1, false)},
                          {512, PortItemText(512, false)},
                          {0, PortItemText(0, false)},
                          {-4, "Open Com-4"},
                          {511, PortItemText(511, false)}});
  EXPECT_EQ(Ids(std::vector<MenuItem>(PortList().begin(), PortList().begin() + 5)),
            (std::vector<std::uint32_t>{34001, 34003, 34010, 34511, 34000}));
  EXPECT_EQ(Ids(std::vector<MenuItem>(ScannerList().begin(), ScannerList().begin() + 5)),
            (std::vector<std::uint32_t>{35001, 35003, 35010, 35511, 35000}));
  EXPECT_EQ(PortList()[1].text, "Open Com3 Bluetooth");
  EXPECT_EQ(ScannerList()[2].text, "Open Com10");
  EXPECT_TRUE(PortList()[2].checkable);
  EXPECT_EQ(FindMenuItem(menus, 34512), nullptr);
  EXPECT_EQ(FindMenuItem(menus, 35512), nullptr);
}

TEST_F(PortItems, ReplacePreviousPortItemsAndKeepTheFirstTextOfARepeatedNumber) {
  InsertPortItems(menus, {{5, "Open Com5"}, {7, "Open Com7"}});
  InsertPortItems(menus, {{7, "Open Com7 Bluetooth"}, {2, "Open Com2"}, {7, "Open Com7"}});
  EXPECT_EQ(Ids(std::vector<MenuItem>(PortList().begin(), PortList().begin() + 3)),
            (std::vector<std::uint32_t>{34002, 34007, 34000}));
  EXPECT_EQ(PortList()[1].text, "Open Com7 Bluetooth");
  EXPECT_EQ(Ids(std::vector<MenuItem>(ScannerList().begin(), ScannerList().begin() + 3)),
            (std::vector<std::uint32_t>{35002, 35007, 35000}));
  // The static items behind the anchors are untouched.
  EXPECT_NE(FindMenuItem(menus, cmd::kScannerUsbDialog), nullptr);
  EXPECT_NE(FindMenuItem(menus, cmd::kFindController), nullptr);
  InsertPortItems(menus, {});
  EXPECT_EQ(PortList().front().id, cmd::kCloseActivePort);
  EXPECT_EQ(ScannerList().front().id, cmd::kScannerOff);
}

TEST_F(PortItems, IgnoreMenusWithoutAnchors) {
  std::vector<MenuItem> bare = {MenuItem{"&File", 0, false, false, {MenuItem{"E&xit", cmd::kExit, false, false, {}}}}};
  InsertPortItems(bare, {{3, "Open Com3"}});
  EXPECT_EQ(CollectMenuIds(bare), (std::vector<std::uint32_t>{cmd::kExit}));
}

TEST(PortItemText, NamesThePortAndMarksBluetooth) {
  EXPECT_EQ(PortItemText(10, false), "Open Com10");
  EXPECT_EQ(PortItemText(4, true), "Open Com4 Bluetooth");
}

struct ExpectedButton {
  const char* label;  // nullptr for a separator
  std::uint32_t id;
  bool check;
};

void ExpectButtons(const Toolbar& toolbar, const std::vector<ExpectedButton>& expected) {
  ASSERT_EQ(toolbar.buttons.size(), expected.size()) << toolbar.name;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const ToolbarButton& button = toolbar.buttons[i];
    if (expected[i].label == nullptr) {
      EXPECT_TRUE(button.separator) << toolbar.name << " #" << i;
      EXPECT_EQ(button.id, 0u) << toolbar.name << " #" << i;
      EXPECT_TRUE(button.label.empty()) << toolbar.name << " #" << i;
      continue;
    }
    EXPECT_FALSE(button.separator) << toolbar.name << " #" << i;
    EXPECT_EQ(button.label, expected[i].label) << toolbar.name << " #" << i;
    EXPECT_EQ(button.id, expected[i].id) << button.label;
    EXPECT_EQ(button.check, expected[i].check) << button.label;
  }
}

std::vector<ExpectedButton> MainButtons(ExpectedButton passPlace) {
  return {{"Log", 33050, false},   {nullptr, 0, false},
          {"Draw", 32959, false},  {"Full", 32960, false},
          {nullptr, 0, false},     {"Terminal", 32961, false},
          {"Split", 32962, false}, {"Cal", 32988, false},
          {"Scope", 32979, false}, passPlace,
          {"Find", 32889, false},  {nullptr, 0, false},
          {"Reset", 32782, false}, {"Clear", 32808, false},
          {nullptr, 0, false},     {"Finger", 32854, false},
          {"Pen", 32859, false},   {"Auto", 32853, false},
          {"Reboot", 32779, false}};
}

TEST(Toolbars, MainToolbarHasPassAsCheckButtonAndClassicHasFreqInItsPlace) {
  ExpectButtons(BuildToolbars(false, false, false)[0], MainButtons({"Pass", 32838, true}));
  ExpectButtons(BuildToolbars(true, false, false)[0], MainButtons({"Freq", 32968, false}));
}

TEST(Toolbars, AsymtekAndDevelopmentToolbars) {
  const std::vector<Toolbar> toolbars = BuildToolbars(false, true, true);
  ASSERT_EQ(toolbars.size(), 3u);
  ExpectButtons(toolbars[1], {{"Lin Cap", 32970, false}, {"Prv Cap", 32975, false}});
  ExpectButtons(toolbars[2], {{"Load", 32794, false},
                              {"Reload", 32795, false},
                              {"UEFI Load", 32797, false},
                              {"Asic Config Regs", 32796, false},
                              {"Event Log", 32798, false}});
}

TEST(Toolbars, SettingsDecideOnlyWhatIsShown) {
  for (int bits = 0; bits < 8; ++bits) {
    const bool classic = bits & 1, asymtek = bits & 2, development = bits & 4;
    const std::vector<Toolbar> toolbars = BuildToolbars(classic, asymtek, development);
    ASSERT_EQ(toolbars.size(), 3u);
    EXPECT_TRUE(toolbars[0].shown) << bits;
    EXPECT_EQ(toolbars[1].shown, asymtek) << bits;
    EXPECT_EQ(toolbars[2].shown, development) << bits;
    EXPECT_EQ(toolbars[1].buttons.size(), 2u) << bits;
    EXPECT_EQ(toolbars[2].buttons.size(), 5u) << bits;
  }
}

TEST(Toolbars, EveryButtonSendsANamedCommandOncePerToolbar) {
  for (bool classic : {false, true}) {
    for (const Toolbar& toolbar : BuildToolbars(classic, true, true)) {
      EXPECT_FALSE(toolbar.name.empty());
      std::set<std::uint32_t> seen;
      for (const ToolbarButton& button : toolbar.buttons) {
        if (button.separator) continue;
        EXPECT_NE(cmd::CommandName(button.id), "") << button.label;
        EXPECT_TRUE(seen.insert(button.id).second) << button.label;
      }
    }
  }
}

}  // namespace
}  // namespace kx7
