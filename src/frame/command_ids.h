// Command ids of the program: menu items, toolbar buttons and the commands that other windows post to
// the main frame. Several of them double as stored values: ControllerType holds a Type-menu id,
// ReportFormat a Format-menu id and ScannerPort a Barcode Scanner id, so the numbers are fixed.
//
// Every command is listed once in the tables below; each row becomes a constant cmd::kName and an
// entry of cmd::kNamedCommands (used by diagnostics and to check menus and toolbars). Range bounds
// and second names of the same number come after the tables.
#pragma once

#include <cstdint>
#include <string_view>

namespace kx7 {

using CommandId = std::uint32_t;

// Data menu: parameter blocks and their editors, resets, reboots, restores and firmware loaders.
#define KX7_DATA_COMMANDS(X)                                                          \
  X(kBlock1Parameters, 32768)            /* Block1 property sheet */                  \
  X(kControllerLinearizationData, 32769) /* Block2 editor */                          \
  X(kCableLinearizationData, 32770)      /* Block4 editor (the cable's copy) */       \
  X(kControllerIdEditor, 32771)          /* serial number, block 5 */                 \
  X(kInterfaceHousekeeping, 32772)       /* Block6 editor */                          \
  X(kBlock7Parameters, 32773)            /* Birch sheet or Larch block-7 editor */    \
  X(kRowDriveLevels, 32774)              /* Block8 editor */                          \
  X(kRestoreDefaults, 32775)                                                          \
  X(kCedarDownload, 32776)       /* Rowan/Cedar code loaders */                       \
  X(kBirch2FirmwareImage, 32777) /* save or load a Birch2 EEPROM image */             \
  X(kRebootEeprom, 32779)        /* reboot into the download code */                  \
  X(kRebootRam, 32780)                                                                \
  X(kRebootRom, 32781) /* reboot into the fixed code */                               \
  X(kSoftReset, 32782)                                                                \
  X(kRestoreDefaultBlocks, 32789) /* restore chosen blocks (driver and Birch2 HID) */ \
  X(kRowanQParameters, 32790)                                                         \
  X(kRowanDefaultParams, 32791)                                                       \
  X(kRowanParameterRestore, 32792)                                                    \
  X(kCedarEepromImage, 32793)                                                         \
  X(kLoadFirmware, 32794)        /* Larch firmware loader */                          \
  X(kReloadFirmware, 32795)      /* the last image again, automatic mode */           \
  X(kAsicConfigRegisters, 32796) /* block 81 */                                       \
  X(kLoadUefiFirmware, 32797)                                                         \
  X(kReadEventLog, 32798) /* block 82 */                                              \
  X(kSaveCalData, 32799)                                                              \
  X(kHardReset, 32800)                                                                \
  X(kClearAll, 32808) /* erase the active terminal, draw or scope */

// Format menu: the report decoder (the id is stored as ReportFormat) and the controller's output mode.
#define KX7_FORMAT_COMMANDS(X)                                         \
  X(kFormatKxs, 32816) /* binary tablet reports, the default */        \
  X(kFormatRaw, 32817) /* calibrate raw, 11 bit signed */              \
  X(kFormatHexDump, 32818)                                             \
  X(kFormatDigitizer, 32819) /* undecoded; offered for Generic only */ \
  X(kFormatUndecoded, 32822)                                           \
  X(kModePoll, 32826)                                                  \
  X(kStartRawReports, 32829)    /* "CR", then the raw format */        \
  X(kStartSignalReports, 32830) /* "FR", then the raw signal format */ \
  X(kStopRawReports, 32831)     /* back to tablet reports */           \
  X(kEnterPassThru, 32835)      /* "MPD" */                            \
  X(kExitPassThru, 32836)                                              \
  X(kEnterPassThruMpl, 32837) /* "MPL" */                              \
  X(kTogglePassThru, 32838)   /* the toolbar's "Pass" */               \
  X(kFormatZ, 32840)          /* toggles the Z (pressure) mode */      \
  X(kModeDownUp, 32841)                                                \
  X(kFormatRawSignals, 32843)   /* four-channel or corner signals */   \
  X(kSwitchToTabletMode, 33159) /* HID controllers: report 17 */       \
  X(kSwitchToHidMode, 33160)                                           \
  X(kUsbSyncAsyncReports, 32929) /* driver record choice dialog */

// Type menu: pen modes (stored as PenMode), poll, the controller types (stored as ControllerType) and
// Find Controller. The unnamed ids are types that only identification assigns.
#define KX7_TYPE_COMMANDS(X)                                                \
  X(kTypeHazel3x, 32852)                                                    \
  X(kPenModeAuto, 32853)                                                    \
  X(kPenModeFinger, 32854)                                                  \
  X(kTypeGeneric, 32855) /* nothing identified */                           \
  X(kTypeBirchRom, 32856)                                                   \
  X(kTypeJuniper, 32857)                                                    \
  X(kTypeHawthorn, 32858)                                                   \
  X(kPenModePen, 32859)                                                     \
  X(kPollControllerType, 32860)                                             \
  X(kTypeBirch, 32861)                                                      \
  X(kTypeHazel2D, 32862)                                                    \
  X(kTypeAspen4, 32863)                                                     \
  X(kTypeBirchPen, 32864)                                                   \
  X(kTypeBirchUsb, 32865)                                                   \
  X(kTypeBirchUsbRom, 32866)                                                \
  X(kTypeUsb1, 32867)                                                       \
  X(kTypeResistive4WireSerial, 32868) /* 4-wire and 8-wire */               \
  X(kTypeResistive4WireUsb, 32869)                                          \
  X(kTypeResistive5WireSerial, 32870)                                       \
  X(kTypeResistive5WireUsb, 32871)                                          \
  X(kTypeRowanGen2, 32872) /* serial */                                     \
  X(kTypeRowanUsbGen2, 32873)                                               \
  X(kTypeBirch2Hid, 32874)                                                  \
  X(kTypeRowanGen3, 32875) /* serial */                                     \
  X(kTypeRowanUsbGen3, 32876)                                               \
  X(kTypeUnassigned, 32877)   /* no name, never assigned */                 \
  X(kTypeLarchUsb0500, 32878) /* USB product 0x0500 */                      \
  X(kTypeLarch, 32879)        /* serial */                                  \
  X(kTypeMaple, 32880)                                                      \
  X(kTypeLarchUsb, 32881)  /* the later Larch USB products */               \
  X(kTypeCedarGen4, 32882) /* serial */                                     \
  X(kTypeRowanGen4, 32883)                                                  \
  X(kTypeTouchInput2965, 32884) /* system touch input, USB vendor 0x2965 */ \
  X(kTypeOtherPcap, 32885)      /* system touch input, vendor 0x0EEF */     \
  X(kTypeTouchInput0457, 32886)                                             \
  X(kTypeTouchInput04E7, 32887)                                             \
  X(kTypeTouchInput2512, 32888)                                             \
  X(kFindController, 32889)

// Tools launcher: one handler opens these windows; the MDI variants are the bench-template forms.
#define KX7_LAUNCHER_COMMANDS(X)                                                \
  X(kCalibrate, 32957) /* 2-point "CX", full screen */                          \
  X(kDraw, 32959)                                                               \
  X(kFullDraw, 32960)                                                           \
  X(kTerminal, 32961)                                                           \
  X(kSplitMode, 32962)                                                          \
  X(kRawCalCxCorners, 32963) /* raw-mode "CR", targets inset 256 */             \
  X(kQuadCalibrate, 32964)   /* 4-point */                                      \
  X(kQuadCalibrateMdi, 32965)                                                   \
  X(kCornerCalibrate, 32966) /* "CN" */                                         \
  X(kFrequencyCheck, 32968)                                                     \
  X(kGridMaker, 32969)                                                          \
  X(kRobotLinearize, 32970)       /* Asymtek serpent pattern */                 \
  X(kRobotLinearizeSecond, 32971) /* the second robot window */                 \
  X(kLinearize, 32972)            /* 25-point, full screen */                   \
  X(kLinearizeMdi, 32973)                                                       \
  X(kMeasureTool, 32974) /* of the open draw window */                          \
  X(kRobotProve, 32975)                                                         \
  X(kRobotProveSecond, 32976)                                                   \
  X(kProveLinearization, 32977)                                                 \
  X(kProveLinearizationMdi, 32978)                                              \
  X(kScope, 32979)                                                              \
  X(kFivePointCalibrate, 32984) /* experimental */                              \
  X(kAsymtekControl, 32985)     /* robot control dialog */                      \
  X(kCalibrateMdi, 32986)                                                       \
  X(kCornerCalibrateMdi, 32987)                                                 \
  X(kCalibrateToolbar, 32988) /* full screen or MDI by Tablet2ptOnToolbar */    \
  X(kRobotAction13, 32990)    /* robot actions by their number */               \
  X(kRobotAction14, 32991)                                                      \
  X(kRobotAction12, 32992)                                                      \
  X(kRobotAction15, 32993)                                                      \
  X(kRobotAction16, 32994)                                                      \
  X(kRawCalCxCornersMdi, 32995)                                                 \
  X(kNinePointCalibrate, 32996)                                                 \
  X(kRawCalLinCorners, 32997) /* raw-mode, targets inset 102 */                 \
  X(kRawCalLinCornersMdi, 32998)                                                \
  X(kRawCalEdges, 33001) /* raw-mode, targets inset 0 */                        \
  X(kRawCalEdgesMdi, 33002)                                                     \
  X(kDvtProve, 33004) /* 25 targets, ten touches each */                        \
  X(kDvtProveMdi, 33005)                                                        \
  X(kCalibrate3Point, 33007) /* "C3" */                                         \
  X(kCalibrate3PointMdi, 33008)                                                 \
  X(kCedarDebug, 33009)                                                         \
  X(kRawCal3Point, 33010) /* raw-mode, three targets, MDI */                    \
  X(kRawCal3PointMdi, 33011)                                                    \
  X(kCedarCircle, 33012) /* of the open draw window */                          \
  X(kNinePointCalibrateMdi, 33015)                                              \
  X(kCornerProve, 33016) /* 4 targets at 12.5 % */                              \
  X(kTwoPlusTwoCalibrate, 33017)                                                \
  X(kTwoPlusTwoCalibrateMdi, 33018)                                             \
  X(kHaptic, 33019)                                                             \
  X(kCedarSquare, 33020)         /* of the open draw window */                  \
  X(kCalibrateAdjustable, 33021) /* "CX" with chosen target insets */           \
  X(kMultiDraw, 33022)                                                          \
  X(kFullScreenMultiDraw, 33023)                                                \
  X(kMultiDrawLive, 33025)                                                      \
  X(kFullScreenMultiDrawLive, 33026)                                            \
  X(kRobotAction17, 33027)                                                      \
  X(kRobotAction18, 33028)                                                      \
  X(kRobotLinearizeCornerBalance, 33029)                                        \
  X(kMultiGraph, 33030) /* multi-touch scope dialog */                          \
  X(kMultiDrawLiveUpperHalf, 33031)                                             \
  X(kFullScreenMultiDrawLiveUpperHalf, 33032)                                   \
  X(kMultiDrawUpperHalf, 33033)                                                 \
  X(kFullScreenMultiDrawUpperHalf, 33034)                                       \
  X(kFullScreenMultiDrawLiveQuarter, 33035)                                     \
  X(kFullScreenMultiDrawQuarter, 33036)                                         \
  X(kCalibrateHid3Point, 33037) /* HID three targets, stepped by the program */ \
  X(kCalibrateHid3PointMdi, 33038)                                              \
  X(kFullScreenMultiDrawQuarterScaled, 33039)                                   \
  X(kPressurePen, 33040)                                                        \
  X(kPressurePenSecondMode, 33041)                                              \
  X(kFullScreenMultiDrawNoTouch, 33042) /* not registered for system touch */

// Logging, result files, engineering windows and the Reports menu.
#define KX7_REPORT_COMMANDS(X)                                           \
  X(kToggleLogging, 33050)                                               \
  X(kViewLogFile, 33054)                                                 \
  X(kReplayLog, 33055)                                                   \
  X(kOpenSerpentDataFile, 33056) /* linearization result viewer */       \
  X(kEditBlock4, 33059)                                                  \
  X(kEditBlock2, 33060)                                                  \
  X(kTimedLog, 33061)                                                    \
  X(kRawLog, 33062)                                                      \
  X(kCloseLogFile, 33068) /* named in the string table, does nothing */  \
  X(kListUsbDevices, 33119)                                              \
  X(kCollector1, 33128) /* data collectors, "-cedarcollector" */         \
  X(kCollector2, 33136)                                                  \
  X(kCollector3, 35288)                                                  \
  X(kCollector4, 35289)                                                  \
  X(kEngineeringReport1, 33154) /* routed, behaviour not defined here */ \
  X(kEngineeringReport2, 33164)                                          \
  X(kStraysReport, 32935)                                                \
  X(kFrequencyReport, 33165)                                             \
  X(kSensitivity, 33166)                                                 \
  X(kPalmSize, 35290)                                                    \
  X(kExtendedSensitivity, 35313) /* the "Touch Threshold" dialog */      \
  X(kNoiseFilter, 35315)                                                 \
  X(kContactLimit, 35316)                                                \
  X(kHidSerialNumber, 35392)

// Main frame: options, help, windows, ports, scanner and robot, video patterns, draw pop-ups, and the
// framework's own edit, window and application commands.
#define KX7_FRAME_COMMANDS(X)                                                  \
  X(kOptions, 32936)                                                           \
  X(kCloseChild, 32937)    /* close the active MDI child */                    \
  X(kVideoPattern0, 32939) /* full-screen video test patterns, modes 0 to 2 */ \
  X(kVideoPattern1, 32940)                                                     \
  X(kColorCycle, 35275)                                                        \
  X(kAsciiChart, 33108)                                                        \
  X(kCommandLineHelp, 33109)                                                   \
  X(kShowTextLabels, 33112)                                                    \
  X(kScannerKeystrokes, 33114) /* type scanned bytes as key presses */         \
  X(kClassicToolbar, 33115)                                                    \
  X(kScannerToBlock4, 33126) /* "Redirect to Cable" */                         \
  X(kBlinkCodes, 33152)                                                        \
  X(kRobotPortOff, 33920) /* 33921..33924: robot on COM1..COM4 */              \
  X(kRobotPortCom1, 33921)                                                     \
  X(kRobotPortCom2, 33922)                                                     \
  X(kRobotPortCom3, 33923)                                                     \
  X(kRobotPortCom4, 33924)                                                     \
  X(kCloseActivePort, 34000) /* 34000 + N opens COM N */                       \
  X(kScannerOff, 35000)      /* 35000 + N puts the scanner on COM N */         \
  X(kScannerUsbDialog, 35258)                                                  \
  X(kDrawShowGrid, 35264) /* draw window pop-up menu */                        \
  X(kDrawDots, 35265)                                                          \
  X(kDraw16ptTargets, 35266)                                                   \
  X(kDraw25ptTargets, 35267)                                                   \
  X(kDrawExtendedTargets, 35268)                                               \
  X(kDrawDiagonals, 35269)                                                     \
  X(kDrawExit, 35270)                                                          \
  X(kDrawToggleMeasureTool, 35271)                                             \
  X(kTach, 35272)                                                              \
  X(kMultiDrawShowGrid, 35306) /* multitouch draw pop-up menu */               \
  X(kMultiDrawDots, 35307)                                                     \
  X(kMultiDrawExit, 35308)                                                     \
  X(kUseWindowsTouch, 35311) /* close the port, take system touch input */     \
  X(kCopy, 57634)                                                              \
  X(kPaste, 57637)                                                             \
  X(kSelectAll, 57642)                                                         \
  X(kCascade, 57650)                                                           \
  X(kTileHorizontal, 57651)                                                    \
  X(kTileVertical, 57652)                                                      \
  X(kAbout, 57664)                                                             \
  X(kExit, 57665)

#define KX7_ALL_COMMANDS(X) \
  KX7_DATA_COMMANDS(X)      \
  KX7_FORMAT_COMMANDS(X)    \
  KX7_TYPE_COMMANDS(X)      \
  KX7_LAUNCHER_COMMANDS(X)  \
  KX7_REPORT_COMMANDS(X)    \
  KX7_FRAME_COMMANDS(X)

namespace cmd {

#define KX7_DEFINE_COMMAND(name, value) inline constexpr CommandId name = value;
KX7_ALL_COMMANDS(KX7_DEFINE_COMMAND)
#undef KX7_DEFINE_COMMAND

struct NamedCommand {
  std::string_view name;
  CommandId id;
};

#define KX7_COMMAND_ENTRY(name, value) NamedCommand{#name, value},
inline constexpr NamedCommand kNamedCommands[] = {KX7_ALL_COMMANDS(KX7_COMMAND_ENTRY)};
#undef KX7_COMMAND_ENTRY

// Ranges routed to one handler each, and the second names of numbers that start a range.
inline constexpr CommandId kDataFirst = kBlock1Parameters;
inline constexpr CommandId kDataLast = kHardReset;
inline constexpr CommandId kFormatFirst = kFormatKxs;
inline constexpr CommandId kFormatLast = kFormatRawSignals;
inline constexpr CommandId kTypeMenuFirst = kTypeHazel3x;
inline constexpr CommandId kTypeMenuLast = kFindController;
inline constexpr CommandId kControllerTypeLast = kTypeTouchInput2512;  // types end before Find Controller
inline constexpr CommandId kTouchInputFirst = kTypeTouchInput2965;
inline constexpr CommandId kTouchInputLast = kTypeTouchInput2512;
inline constexpr CommandId kLauncherFirst = kCalibrate;
inline constexpr CommandId kLauncherLast = kFullScreenMultiDrawNoTouch;
inline constexpr CommandId kEngineeringFirst = 33051;  // engineering dialogs and matrix views
inline constexpr CommandId kEngineeringLast = 33067;
inline constexpr CommandId kRobotPortBase = kRobotPortOff;  // + N: robot on COM N (1..4)
inline constexpr CommandId kOpenComBase = kCloseActivePort;
inline constexpr CommandId kOpenComLast = kOpenComBase + 256;  // higher port items reach no handler
inline constexpr CommandId kScannerComBase = kScannerOff;
inline constexpr CommandId kScannerLast = kScannerUsbDialog;
inline constexpr CommandId kDrawPopupFirst = kDrawShowGrid;
inline constexpr CommandId kDrawPopupLast = kDrawToggleMeasureTool;
inline constexpr CommandId kMultiDrawPopupFirst = kMultiDrawShowGrid;
inline constexpr CommandId kMultiDrawPopupLast = 35310;

// The name of a listed command ("kFindController"), empty for any other number.
constexpr std::string_view CommandName(CommandId id) {
  for (const NamedCommand& entry : kNamedCommands) {
    if (entry.id == id) return entry.name;
  }
  return {};
}

}  // namespace cmd
}  // namespace kx7

#undef KX7_ALL_COMMANDS
#undef KX7_DATA_COMMANDS
#undef KX7_FORMAT_COMMANDS
#undef KX7_TYPE_COMMANDS
#undef KX7_LAUNCHER_COMMANDS
#undef KX7_REPORT_COMMANDS
#undef KX7_FRAME_COMMANDS
