#include "frame/menu_model.h"

#include <algorithm>
#include <map>

#include "controller/controller_type_names.h"
#include "controller/controller_types.h"
#include "frame/command_ids.h"

namespace kx7 {
namespace {

// The Type menu's commands are the controller type and pen mode ids themselves.
static_assert(cmd::kTypeMenuFirst == type::kHazel3 && cmd::kTypeGeneric == type::kGeneric &&
              cmd::kTouchInputFirst == type::kTouchInputFirst && cmd::kControllerTypeLast == type::kTouchInputLast);
static_assert(cmd::kPenModeAuto == kPenAuto && cmd::kPenModeFinger == kPenFinger && cmd::kPenModePen == kPenPen);

MenuItem Item(std::string text, CommandId id) { return MenuItem{std::move(text), id, false, false, {}}; }

MenuItem Check(std::string text, CommandId id) { return MenuItem{std::move(text), id, false, true, {}}; }

MenuItem Separator() { return MenuItem{{}, 0, true, false, {}}; }

MenuItem Popup(std::string text, std::vector<MenuItem> children) {
  return MenuItem{std::move(text), 0, false, false, std::move(children)};
}

MenuItem FileMenu() {
  return Popup("&File", {
                            Item("&Toggle Logging On/Off", cmd::kToggleLogging),
                            Item("&View Log File", cmd::kViewLogFile),
                            Item("Start Ti&med Log...", cmd::kTimedLog),
                            Item("Start &Raw Log", cmd::kRawLog),
                            Item("Re&play Log...", cmd::kReplayLog),
                            Separator(),
                            Item("Open a &Serpent Data File...", cmd::kOpenSerpentDataFile),
                            Separator(),
                            Item("E&xit", cmd::kExit),
                        });
}

MenuItem EditMenu() {
  return Popup("&Edit", {
                            Item("&Copy", cmd::kCopy),
                            Item("&Paste", cmd::kPaste),
                            Item("Select &All", cmd::kSelectAll),
                            Separator(),
                            Item("Cl&ear All", cmd::kClearAll),
                        });
}

MenuItem BarcodeScannerMenu() {
  // The scanner's port items go in front of "&Off" (InsertPortItems).
  return Popup("&Barcode Scanner", {
                                       Check("&Off", cmd::kScannerOff),
                                       Check("&USB Scanner Input Dialog", cmd::kScannerUsbDialog),
                                       Separator(),
                                       Check("Red&irect to Cable", cmd::kScannerToBlock4),
                                       Check("Type Scans as &Keystrokes", cmd::kScannerKeystrokes),
                                   });
}

MenuItem RobotPortMenu() {
  return Popup("Asymtek &Robot Port", {
                                          Check("Robot Port &Off", cmd::kRobotPortOff),
                                          Check("Robot on COM&1", cmd::kRobotPortCom1),
                                          Check("Robot on COM&2", cmd::kRobotPortCom2),
                                          Check("Robot on COM&3", cmd::kRobotPortCom3),
                                          Check("Robot on COM&4", cmd::kRobotPortCom4),
                                      });
}

MenuItem PortMenu() {
  // The controller's port items go in front of "&Close Active Port" (InsertPortItems).
  return Popup("&Port", {
                            Check("&Close Active Port", cmd::kCloseActivePort),
                            Separator(),
                            Item("Fin&d Controller", cmd::kFindController),
                            Item("Close Port and use WM_TOUCH input", cmd::kUseWindowsTouch),
                            Item("Show HID &Serial Number", cmd::kHidSerialNumber),
                            Separator(),
                            BarcodeScannerMenu(),
                            RobotPortMenu(),
                        });
}

MenuItem TypeMenu() {
  std::vector<MenuItem> items = {
      Check("Select Auto mode", cmd::kPenModeAuto),
      Check("Select Finger mode", cmd::kPenModeFinger),
      Check("Select Pen mode", cmd::kPenModePen),
      Separator(),
      Item("Poll the controller for type", cmd::kPollControllerType),
      Separator(),
  };
  // Every named type can be chosen by hand (the frame ignores the ones only identification sets)
  // and is shown checked while it is the current type.
  for (CommandId id = cmd::kTypeMenuFirst; id <= cmd::kControllerTypeLast; ++id) {
    const std::string name = ControllerTypeName(id);
    if (!name.empty()) items.push_back(Check(name, id));
  }
  return Popup("&Type", std::move(items));
}

MenuItem FormatMenu() {
  // The first group is what operators use; the rest are the engineering switches of the decoder and
  // of the controller's output mode.
  return Popup("F&ormat", {
                              Check("&Undecoded", cmd::kFormatUndecoded),
                              Check("&KXS (FT,FD,FH)", cmd::kFormatKxs),
                              Check("&Hex Dump", cmd::kFormatHexDump),
                              Separator(),
                              Item("Enter Mode Pass Thru", cmd::kEnterPassThru),
                              Item("Exit Mode Pass Thru", cmd::kExitPassThru),
                              Check("Mode Down/Up", cmd::kModeDownUp),
                              Check("Mode &Poll", cmd::kModePoll),
                              Separator(),
                              Item("Switch to Tablet Mode", cmd::kSwitchToTabletMode),
                              Item("Switch to HID Mode", cmd::kSwitchToHidMode),
                              Separator(),
                              Popup("&More Formats",
                                    {
                                        Check("Calibrate &Raw (11 bit signed) Format", cmd::kFormatRaw),
                                        Check("Raw &Signals", cmd::kFormatRawSignals),
                                        Check("&Digitizer Text", cmd::kFormatDigitizer),
                                        Check("&Z Mode", cmd::kFormatZ),
                                        Separator(),
                                        Item("Start Raw Reports (&CR)", cmd::kStartRawReports),
                                        Item("Start Signal Reports (&FR)", cmd::kStartSignalReports),
                                        Item("Back to &Tablet Reports", cmd::kStopRawReports),
                                        Separator(),
                                        Item("Enter Mode Pass Thru (MP&L)", cmd::kEnterPassThruMpl),
                                        Check("Toggle Mode Pass Thru", cmd::kTogglePassThru),
                                        Separator(),
                                        Item("USB Sync - Async Reports", cmd::kUsbSyncAsyncReports),
                                    }),
                          });
}

MenuItem DataMenu() {
  return Popup("&Data", {
                            Item("Block&1 Parameters", cmd::kBlock1Parameters),
                            Item("Controller &Linearization Data", cmd::kControllerLinearizationData),
                            Item("Cable Linearization Da&ta", cmd::kCableLinearizationData),
                            Item("Controller &ID", cmd::kControllerIdEditor),
                            Item("I&nterface && Housekeeping", cmd::kInterfaceHousekeeping),
                            Item("Block&7 Parameters", cmd::kBlock7Parameters),
                            Item("&Row Drive Levels", cmd::kRowDriveLevels),
                            Item("Read E&vent Log", cmd::kReadEventLog),
                            Item("Read &ASIC Config Registers", cmd::kAsicConfigRegisters),
                            Item("Save &Cal Data...", cmd::kSaveCalData),
                            Separator(),
                            Item("&Soft Reset", cmd::kSoftReset),
                            Item("&Hard Reset", cmd::kHardReset),
                            Item("Reboot R&OM", cmd::kRebootRom),
                            Item("Reboot EEPRO&M", cmd::kRebootEeprom),
                            Separator(),
                            Item("&Restore Defaults", cmd::kRestoreDefaults),
                            Item("Restore Default &Blocks...", cmd::kRestoreDefaultBlocks),
                            Item("Rowan &Parameter Restore Defaults", cmd::kRowanParameterRestore),
                            Item("Rowan &Q Parameters", cmd::kRowanQParameters),
                            Item("Rowan Defa&ult Params", cmd::kRowanDefaultParams),
                            Separator(),
                            Item("Run Birch2 or Cedar &Download...", cmd::kCedarDownload),
                            Item("Save/Load Birch2 &Firmware...", cmd::kBirch2FirmwareImage),
                            Item("Cedar EEPROM Ima&ge...", cmd::kCedarEepromImage),
                            Item("Load Firm&ware...", cmd::kLoadFirmware),
                        });
}

MenuItem ToolsMenu() {
  return Popup("Too&ls",
               {
                   Item("Template Dra&w", cmd::kDraw),
                   Item("&Full Draw", cmd::kFullDraw),
                   Item("&Terminal", cmd::kTerminal),
                   Item("S&plit Mode", cmd::kSplitMode),
                   Separator(),
                   Item("&Calibration", cmd::kCalibrate),
                   Item("&Linearize", cmd::kLinearize),
                   Item("&4pt Prove", cmd::kCornerProve),
                   Popup("Calibration Va&riants",
                         {
                             Item("Traditional 2pt Cal", cmd::kCalibrateMdi),
                             Item("Corner Calibration (CN)", cmd::kCornerCalibrate),
                             Item("CX cal to adjustable targets", cmd::kCalibrateAdjustable),
                             Item("Raw Mode Calibration (CR) ( Targets at CX corners )", cmd::kRawCalCxCorners),
                             Item("Raw Mode Calibration (CR) ( Targets at Lin corners )", cmd::kRawCalLinCorners),
                             Item("4pt Calibration", cmd::kQuadCalibrate),
                             Separator(),
                             Item("25pt Linearization with bench template", cmd::kLinearizeMdi),
                             Item("Prove Linearization - Full Screen", cmd::kProveLinearization),
                             Item("Prove 25pt Linearization with bench template", cmd::kProveLinearizationMdi),
                             Item("Touch 25Pts 10 times (DVT)", cmd::kDvtProve),
                         }),
                   Popup("As&ymtek",
                         {
                             Item("Asymtek &Control", cmd::kAsymtekControl),
                             Separator(),
                             Item("Linearize with Asymtek Serpent pattern", cmd::kRobotLinearize),
                             Item("Prove Linearize with Asymtek Serpent pattern", cmd::kRobotProve),
                             Item("Linearize with Serpent pattern with 4pt Corner Balance targets",
                                  cmd::kRobotLinearizeCornerBalance),
                         }),
                   Separator(),
                   Item("Scop&e", cmd::kScope),
                   Item("Fre&quency", cmd::kFrequencyCheck),
                   Item("&Grid Maker", cmd::kGridMaker),
                   Item("Rowan Debu&g", cmd::kCedarDebug),
                   Item("H&aptic", cmd::kHaptic),
                   Separator(),
                   Item("&Measure Tool", cmd::kMeasureTool),
                   Item("Tac&h", cmd::kTach),
                   Popup("&Video Test Patterns",
                         {
                             Item("Video Pattern &1", cmd::kVideoPattern0),
                             Item("Video Pattern &2", cmd::kVideoPattern1),
                             Item("Color C&ycle", cmd::kColorCycle),
                         }),
                   Item("List USB &Devices", cmd::kListUsbDevices),
               });
}

MenuItem ReportsMenu() {
  return Popup("&Reports", {
                               Item("S&trays Report", cmd::kStraysReport),
                               Item("&Frequency Report", cmd::kFrequencyReport),
                               Separator(),
                               Item("Sensiti&vity", cmd::kSensitivity),
                               Item("Extended Sensitivit&y", cmd::kExtendedSensitivity),
                               Item("&Noise Filter", cmd::kNoiseFilter),
                               Item("&Palm Size", cmd::kPalmSize),
                               Item("Contact L&imit", cmd::kContactLimit),
                           });
}

MenuItem MultitouchMenu() {
  return Popup("&Multitouch", {
                                  Item("&Multi Draw", cmd::kMultiDraw),
                                  Item("&Full Screen Multi Draw", cmd::kFullScreenMultiDraw),
                                  Item("&Graph", cmd::kMultiGraph),
                                  Separator(),
                                  Item("Quarter Height Video Full Scale Y", cmd::kFullScreenMultiDrawQuarter),
                                  Item("Quarter Height Video Quarter Scale Y", cmd::kFullScreenMultiDrawQuarterScaled),
                              });
}

MenuItem OptionsMenu() {
  return Popup("O&ptions", {
                               Item("&Options", cmd::kOptions),
                               Separator(),
                               Check("Show Text &Labels", cmd::kShowTextLabels),
                               Check("&Classic Toolbar", cmd::kClassicToolbar),
                           });
}

MenuItem WindowMenu() {
  return Popup("&Window", {
                              Item("&Cascade", cmd::kCascade),
                              Item("Tile &Horizontally", cmd::kTileHorizontal),
                              Item("Tile &Vertically", cmd::kTileVertical),
                              Separator(),
                              Item("Cl&ose", cmd::kCloseChild),
                          });
}

MenuItem HelpMenu() {
  return Popup("&Help", {
                            Item("&Command Line Help", cmd::kCommandLineHelp),
                            Item("&ASCII Chart", cmd::kAsciiChart),
                            Item("&Blink Codes", cmd::kBlinkCodes),
                            Separator(),
                            Item("&About KX7SDU...", cmd::kAbout),
                        });
}

const MenuItem* FindIn(const std::vector<MenuItem>& items, std::uint32_t id) {
  for (const MenuItem& item : items) {
    if (item.id == id) return &item;
    if (const MenuItem* found = FindIn(item.children, id)) return found;
  }
  return nullptr;
}

// The list that holds the item with this id, and the item's position in it.
std::vector<MenuItem>* FindParentList(std::vector<MenuItem>& items, std::uint32_t id, std::size_t& index) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].id == id) {
      index = i;
      return &items;
    }
    if (auto* found = FindParentList(items[i].children, id, index)) return found;
  }
  return nullptr;
}

void CollectInto(const std::vector<MenuItem>& items, std::vector<std::uint32_t>& ids) {
  for (const MenuItem& item : items) {
    if (item.id != 0) ids.push_back(item.id);
    CollectInto(item.children, ids);
  }
}

// Replaces the port items in front of the anchor by one item per port, ascending.
void PlacePortItems(std::vector<MenuItem>& menus, CommandId anchor, const std::map<int, std::string>& ports) {
  std::size_t index = 0;
  std::vector<MenuItem>* list = FindParentList(menus, anchor, index);
  if (list == nullptr) return;
  // The anchor's number is the base of the port ids: anchor + N is the item of COM N.
  const CommandId first = anchor + static_cast<CommandId>(kFirstMenuPort);
  const CommandId last = anchor + static_cast<CommandId>(kLastMenuPort);
  const auto isPortItem = [first, last](const MenuItem& item) {
    return item.children.empty() && item.id >= first && item.id <= last;
  };
  const auto anchorPos = list->begin() + static_cast<std::ptrdiff_t>(index);
  const auto kept = std::remove_if(list->begin(), anchorPos, isPortItem);
  list->erase(kept, anchorPos);
  const auto insertAt =
      std::find_if(list->begin(), list->end(), [anchor](const MenuItem& item) { return item.id == anchor; });
  std::vector<MenuItem> items;
  for (const auto& [number, text] : ports) {
    items.push_back(Check(text, anchor + static_cast<CommandId>(number)));
  }
  list->insert(insertAt, items.begin(), items.end());
}

}  // namespace

std::vector<MenuItem> BuildMainMenu() {
  return {FileMenu(),  EditMenu(),    PortMenu(),       TypeMenu(),    FormatMenu(), DataMenu(),
          ToolsMenu(), ReportsMenu(), MultitouchMenu(), OptionsMenu(), WindowMenu(), HelpMenu()};
}

std::vector<MenuItem> BuildDrawContextMenu() {
  return {
      Check("&Grid", cmd::kDrawShowGrid),
      Check("&Dots", cmd::kDrawDots),
      Check("&16pt", cmd::kDraw16ptTargets),
      Check("&25pt", cmd::kDraw25ptTargets),
      Check("&Ext. Targets", cmd::kDrawExtendedTargets),
      Item("E&xit", cmd::kDrawExit),
  };
}

std::vector<MenuItem> BuildMultiDrawContextMenu() {
  return {
      Check("&Grid", cmd::kMultiDrawShowGrid),
      Check("&Dots", cmd::kMultiDrawDots),
      Item("E&xit", cmd::kMultiDrawExit),
  };
}

const MenuItem* FindMenuItem(const std::vector<MenuItem>& menus, std::uint32_t id) {
  if (id == 0) return nullptr;
  return FindIn(menus, id);
}

MenuItem* FindMenuItem(std::vector<MenuItem>& menus, std::uint32_t id) {
  return const_cast<MenuItem*>(FindMenuItem(static_cast<const std::vector<MenuItem>&>(menus), id));
}

std::vector<std::uint32_t> CollectMenuIds(const std::vector<MenuItem>& menus) {
  std::vector<std::uint32_t> ids;
  CollectInto(menus, ids);
  return ids;
}

std::string PortItemText(int portNumber, bool bluetooth) {
  std::string text = "Open Com" + std::to_string(portNumber);
  if (bluetooth) text += " Bluetooth";
  return text;
}

void InsertPortItems(std::vector<MenuItem>& menus, const std::vector<std::pair<int, std::string>>& ports) {
  std::map<int, std::string> listed;  // ascending by number, first text of a repeated number
  for (const auto& [number, text] : ports) {
    if (number >= kFirstMenuPort && number <= kLastMenuPort) listed.emplace(number, text);
  }
  PlacePortItems(menus, cmd::kOpenComBase, listed);
  PlacePortItems(menus, cmd::kScannerComBase, listed);
}

}  // namespace kx7
