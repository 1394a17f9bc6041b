// The options the Options sheet edits, kept as one contiguous run of 144 32-bit words so the
// sheet can take a copy of the whole block and hand it back in one piece. The word positions are
// fixed: the doubles sit on even words (the two gap words keep them there), and in memory
// TrackMouse comes before FindOnLaunch although the settings file stores FindOnLaunch first.
#pragma once

#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>

namespace kx7 {

static_assert(sizeof(int) == 4 && sizeof(float) == 4 && sizeof(double) == 8);
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559);

inline constexpr std::size_t kLastFolderSize = 256;

struct OptionsBlock {
  int ShowGrid = 1;                    // word 0
  int Show16ptTargets = 1;             // word 1
  int Show25ptTargets = 1;             // word 2
  int DrawDots = 0;                    // word 3
  int ForceCaps = 1;                   // word 4
  int TrackMouse = 0;                  // word 5
  int FindOnLaunch = 1;                // word 6
  int LoopbackSentChars = 1;           // word 7
  int KeepTerminalWithScope = 0;       // word 8
  int WrapOnCR = 1;                    // word 9
  int WrapOnBit7 = 1;                  // word 10
  int SkipDriverSetup = 1;             // word 11
  int Ext16ptTargets = 0;              // word 12: 0 "NT 2.5%", 1 "KT 7.5%"
  int GridMode = 0;                    // word 13
  int Theme = 0;                       // word 14
  int ExtTargets = 0;                  // word 15
  int SuppressCornerOptimization = 0;  // word 16
  int FullDuplex = 0;                  // word 17
  // NUL-terminated; empty means "no folder remembered yet".
  char LastFolder[kLastFolderSize] = {};  // words 18 to 81
  int LogLinefeeds = 0;                   // word 82
  int ShowCursor = 0;                     // word 83
  double ProveAccuracyPercent = 1.09;     // words 84, 85
  int TouchMarkerStyle = 0;               // word 86
  int Gap29 = 0;                          // word 87: not stored in the file
  double Reserved30 = 0;                  // words 88, 89
  int ConfirmOnClose = 0;                 // word 90
  int Reserved32 = 0;                     // word 91
  int Tablet2ptOnToolbar = 0;             // word 92
  int ShowLimitLines = 0;                 // word 93
  double CalEdit1801 = 0;                 // words 94, 95
  double CalEdit1800 = 1.5;               // words 96, 97
  int XSineMethod = 0;                    // word 98
  int FullBirch2Resolution = 0;           // word 99
  float CalFloat1824 = 193.0f;            // word 100
  float CalFloat1825 = 469.0f;            // word 101
  double Reserved41 = 0;                  // words 102, 103
  double Reserved42 = 0;                  // words 104, 105
  double Reserved43 = 0;                  // words 106, 107
  double Reserved44 = 0;                  // words 108, 109
  int LabelPrintMode = 0;                 // word 110
  int Gap45 = 0;                          // word 111: not stored in the file
  double Reserved46 = 0;                  // words 112, 113
  double Reserved47 = 0;                  // words 114, 115
  double Reserved48 = 0;                  // words 116, 117
  int Reserved49 = 0;                     // word 118
  int TimeDisplay = 0;                    // word 119
  int DrawFlag2399 = 0;                   // word 120
  int Reserved52 = 0;                     // word 121
  int PctClear = 1;                       // word 122
  int CircleLoop = 0;                     // word 123
  int ClassicToolbar = 0;                 // word 124
  int ShowTextLabels = 1;                 // word 125
  int ScannerToBlock4 = 0;                // word 126
  int DevelopmentToolbar = 0;             // word 127
  int AllowNoisySample = 0;               // word 128
  int AsymtekToolbar = 0;                 // word 129
  int Reserved61 = 0;                     // word 130
  int CircleSize = 50;                    // word 131
  int CircleSeconds = 8;                  // word 132
  int ShowLiftoffsOnly = 0;               // word 133
  int ZLow = 3;                           // word 134
  int ZHigh = 180;                        // word 135
  int ZMaxSize = 9;                       // word 136
  int Reserved68 = 0;                     // word 137
  int DebugRateIndex = 0;                 // word 138
  int MultigraphBar = 1;                  // word 139
  int NoUsbThread = 0;                    // word 140
  int ShowZ = 0;                          // word 141
  int Show25Diagonals = 0;                // word 142
  int HapticDemo = 0;                     // word 143

  // Bitwise, like the block copy itself: a reserved double read from the file as a NaN still
  // compares equal to its copy, and the unused bytes after the folder's NUL count too.
  friend bool operator==(const OptionsBlock& a, const OptionsBlock& b) {
    return std::memcmp(&a, &b, sizeof(OptionsBlock)) == 0;
  }
};

inline constexpr std::size_t kOptionsBlockWords = 144;

// The block is copied with memcpy and compared with memcmp, so it must have no hidden bytes.
static_assert(std::is_trivially_copyable_v<OptionsBlock>);
static_assert(std::is_standard_layout_v<OptionsBlock>);
static_assert(sizeof(OptionsBlock) == kOptionsBlockWords * 4);
static_assert(sizeof(OptionsBlock) == 576);

#define KX7_OPTIONS_WORD(member, word) static_assert(offsetof(OptionsBlock, member) == (word)*4, #member)
KX7_OPTIONS_WORD(ShowGrid, 0);
KX7_OPTIONS_WORD(ForceCaps, 4);
KX7_OPTIONS_WORD(TrackMouse, 5);
KX7_OPTIONS_WORD(FindOnLaunch, 6);
KX7_OPTIONS_WORD(LoopbackSentChars, 7);
KX7_OPTIONS_WORD(FullDuplex, 17);
KX7_OPTIONS_WORD(LastFolder, 18);
KX7_OPTIONS_WORD(LogLinefeeds, 82);
KX7_OPTIONS_WORD(ProveAccuracyPercent, 84);
KX7_OPTIONS_WORD(TouchMarkerStyle, 86);
KX7_OPTIONS_WORD(Gap29, 87);
KX7_OPTIONS_WORD(Reserved30, 88);
KX7_OPTIONS_WORD(CalEdit1801, 94);
KX7_OPTIONS_WORD(CalEdit1800, 96);
KX7_OPTIONS_WORD(CalFloat1824, 100);
KX7_OPTIONS_WORD(Reserved41, 102);
KX7_OPTIONS_WORD(LabelPrintMode, 110);
KX7_OPTIONS_WORD(Gap45, 111);
KX7_OPTIONS_WORD(Reserved46, 112);
KX7_OPTIONS_WORD(Reserved49, 118);
KX7_OPTIONS_WORD(TimeDisplay, 119);
KX7_OPTIONS_WORD(CircleSize, 131);
KX7_OPTIONS_WORD(Reserved68, 137);
KX7_OPTIONS_WORD(DebugRateIndex, 138);
KX7_OPTIONS_WORD(HapticDemo, 143);
#undef KX7_OPTIONS_WORD

// Every double on an 8-byte boundary, as the gap words intend.
static_assert(offsetof(OptionsBlock, ProveAccuracyPercent) % 8 == 0);
static_assert(offsetof(OptionsBlock, Reserved30) % 8 == 0);
static_assert(offsetof(OptionsBlock, CalEdit1801) % 8 == 0);
static_assert(offsetof(OptionsBlock, Reserved41) % 8 == 0);
static_assert(offsetof(OptionsBlock, Reserved46) % 8 == 0);

}  // namespace kx7
