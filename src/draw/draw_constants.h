// The draw windows' own numbers: colours, overlay positions (in 1/2048 of the client area),
// decoder bytes, history bounds, the multi-touch contact table and the timer of the live style.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/canvas.h"

namespace kx7::draw {

// --- Colours ---------------------------------------------------------------------------------
inline constexpr Color kBlack = Rgb(0, 0, 0);
inline constexpr Color kWhite = Rgb(255, 255, 255);
inline constexpr Color kYellow = Rgb(255, 255, 0);
inline constexpr Color kOrange = Rgb(255, 128, 0);
inline constexpr Color kRed = Rgb(255, 0, 0);
inline constexpr Color kGreen = Rgb(0, 255, 0);
inline constexpr Color kGridGreen = Rgb(0, 128, 64);
inline constexpr Color kBoxGrey = Rgb(192, 192, 192);

// --- Trace marks -----------------------------------------------------------------------------
inline constexpr int kCrossArm = 4;     // touch-down cross, +-4 pixels
inline constexpr int kLiftRadius = 2;   // lift-off circle
inline constexpr int kDotRadius = 1;    // Draw Dots
inline constexpr int kMajorTick = 10;   // ruler bar ticks
inline constexpr int kMinorTick = 4;

// --- Overlays, in 1/2048 of the client width or height -----------------------------------------
inline constexpr int kScale = 2048;
inline constexpr std::array<int, 8> kGridX = {0, 255, 511, 767, 1023, 1279, 1535, 1791};
inline constexpr std::array<int, 8> kGridY = {0, 256, 511, 768, 1023, 1280, 1535, 1792};
inline constexpr std::array<int, 7> kBarTicksY = {256, 511, 768, 1023, 1280, 1535, 1792};
inline constexpr int kMiddle = 1023;
inline constexpr std::array<int, 4> kProveX = {255, 767, 1279, 1791};
inline constexpr std::array<int, 4> kProveY = {256, 768, 1280, 1792};
// The border ring of the extended 16pt layout: "NT 2.5%" and "KT 7.5%".
inline constexpr std::array<int, 2> kExtNearEdge = {51, 153};
inline constexpr std::array<int, 2> kExtFarEdge = {1996, 1894};
inline constexpr std::array<int, 5> kLinearizeAt = {102, 511, 1023, 1535, 1945};

// --- Byte decoders -----------------------------------------------------------------------------
inline constexpr std::uint8_t kStartBit = 0x80;
inline constexpr std::uint8_t kTouchBit = 0x40;
inline constexpr std::uint8_t kStatusModeRequest = 0x01;  // not touching, asks for "MT"
inline constexpr std::uint8_t kStatusCompact = 0x17;
inline constexpr std::uint8_t kStatusUp = 0x18;
inline constexpr std::uint8_t kStatusDown = 0x19;
inline constexpr std::uint8_t kStatusUp2 = 0x1A;
inline constexpr std::uint8_t kStatusUp3 = 0x1B;
inline constexpr std::uint8_t kStatusDown2 = 0x1C;
inline constexpr std::uint8_t kStatusUp4 = 0x1E;
inline constexpr std::uint8_t kPollByte = 0x11;
inline constexpr std::array<std::uint8_t, 4> kMultiTouchModeCommand = {0x01, 'M', 'T', 0x0D};
inline constexpr int kDecimalFull = 999;
inline constexpr int kHexFull = 1023;
inline constexpr int kRawFull = 2047;
inline constexpr int kRecordFull = 16384;
inline constexpr int kBirchUsbExtraBytes = 4;
inline constexpr std::uint32_t kBirchUsbExtraFeature = 0x100;
// HID digitizer reports: header 0x03, report id, length, data, two more bytes.
inline constexpr std::uint8_t kDigitizerHeader = 0x03;
inline constexpr std::uint8_t kDigitizerContactsId = 16;
inline constexpr int kDigitizerMinLength = 5;
inline constexpr int kDigitizerWidth = 640;
inline constexpr int kDigitizerHeight = 480;
// Rowan GEN4 packets.
inline constexpr std::size_t kGen4PacketBytes = 64;
inline constexpr std::uint8_t kGen4Touching = 0x07;
inline constexpr int kGen4Full = 32767;

// --- Records (0x803E) ----------------------------------------------------------------------------
inline constexpr std::uint8_t kRecordWithPressure = 13;
inline constexpr std::size_t kRecordStatus = 2;
inline constexpr std::size_t kRecordX = 3;
inline constexpr std::size_t kRecordY = 5;
inline constexpr std::size_t kRecordRawX = 7;
inline constexpr std::size_t kRecordRawY = 9;
inline constexpr std::size_t kRecordPressure = 11;
inline constexpr std::size_t kRecordBytes = 13;  // through the pressure word

// --- History -------------------------------------------------------------------------------------
inline constexpr std::size_t kHistoryLimit = 10000;
inline constexpr std::size_t kHistoryTrim = 1000;

// --- Multi-touch -----------------------------------------------------------------------------------
inline constexpr int kContactSlots = 100;
inline constexpr std::uint8_t kFreeSlot = 255;
inline constexpr int kContactPen = 4;
inline constexpr int kDefaultSensorCells = 64;
inline constexpr std::uint32_t kLiveTimer = 32856;
inline constexpr std::uint32_t kLiveMs = 10;
inline constexpr int kTouchCountEvery = 16;
inline constexpr std::array<std::uint8_t, 11> kMultiReportIds = {1, 7, 16, 19, 20, 22, 23, 115, 116, 118, 119};
inline constexpr std::size_t kMultiReportBytes = 64;
inline constexpr std::array<Color, 10> kContactColours = {Rgb(255, 0, 0),   Rgb(0, 0, 255),   Rgb(0, 255, 0),
                                                          Rgb(0, 128, 128), Rgb(128, 0, 0),   Rgb(0, 0, 128),
                                                          Rgb(0, 128, 0),   Rgb(128, 128, 0), Rgb(255, 255, 0),
                                                          Rgb(0, 255, 255)};
// Status colouring (key P): bits 4 to 6 of a contact's status.
inline constexpr std::array<Color, 8> kStatusColours = {Rgb(0, 0, 0),     Rgb(255, 0, 0), Rgb(0, 0, 255),
                                                        Rgb(0, 255, 0),   Rgb(0, 128, 128), Rgb(128, 0, 0),
                                                        Rgb(0, 0, 128),   Rgb(0, 128, 0)};
// A pen's mouse messages carry this signature in their extra information (low byte aside).
inline constexpr std::uint32_t kPenSignatureMask = 0xFFFFFF00u;
inline constexpr std::uint32_t kPenSignature = 0xFF515700u;
inline constexpr std::uint32_t kPenSignatureTouchBit = 0x80u;

// --- Texts ----------------------------------------------------------------------------------------
inline constexpr const char* kDrawTitle = "Draw";
inline constexpr const char* kMultiDrawTitle = "Multitouch Draw";
inline constexpr const char* kTouchCountFormat = "%d touch";
inline constexpr const char* kClearLabel = "C";
inline constexpr const char* kExitLabel = "Exit";
inline constexpr const char* kMouseReportFormat = "%c %04d %04d";

}  // namespace kx7::draw
