// The byte forms a controller sends for touches and sensor signals. Each function appends one
// report to `out` and depends on nothing but its arguments, so the forms can be checked byte by
// byte. Values out of range are clamped, never wrapped: a wrapped coordinate would jump across the
// screen, a clamped one only sticks to the edge.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kx7::emu {

using Bytes = std::vector<std::uint8_t>;

// Status byte of the binary tablet forms: bit 7 starts a report, bit 6 touching, bit 1 the button,
// bit 0 set for a pen (the host keeps that bit and shows nothing for it).
struct TabletStatus {
  bool touching = false;
  bool button = false;
  bool pen = false;
};

// Five bytes: status, X bits 0-6, X bits 7-13, Y bits 0-6, Y bits 7-13 (x, y 0..16383).
void AppendTablet(Bytes& out, TabletStatus status, int x, int y);
// Seven bytes: the tablet report followed by Z bits 0-6 and 7-13 (z 0..16383).
void AppendTabletZ(Bytes& out, TabletStatus status, int x, int y, int z);
// Six bytes: the tablet report followed by the contact number (0..127) of a multi-touch controller.
void AppendTabletContact(Bytes& out, TabletStatus status, int x, int y, int contact);

// Five bytes of the raw signed form: status (bit 7, bit 6 touching), then X and Y as 14-bit two's
// complement values around the middle of the raw range, low seven bits first. `x14` and `y14` are
// raw values 0..16383 (eight to a raw 11-bit count); the host adds the middle back.
void AppendRawSigned(Bytes& out, bool touching, int x14, int y14);

// ASCII point: a status byte, three digits of X, ",", three digits of Y, CR. Decimal 0..999 or
// hexadecimal 000..3FF (upper case). The status bytes are the ones below.
inline constexpr std::uint8_t kAsciiTouchDown = 0x19;
inline constexpr std::uint8_t kAsciiTouching = 0x1C;
inline constexpr std::uint8_t kAsciiLiftOff = 0x18;
inline constexpr std::uint8_t kAsciiModeRequest = 0x01;  // not touching: "send MT"
void AppendAscii(Bytes& out, std::uint8_t status, int x, int y, bool hexadecimal);

// Compact point: a status byte and four bytes of five bits, X = c1 * 32 + c2, Y = c3 * 32 + c4
// (0..1023). The status 0x17 arms the form; while armed, 0x19 (down), 0x1C (touching) and 0x18
// (lifted, disarms) each precede a point. An armed point at 0, 0 means "nothing to report".
inline constexpr std::uint8_t kCompactArm = 0x17;
void AppendCompact(Bytes& out, std::uint8_t status, int x, int y);

// One frame of the four-channel stream: four pairs, channel 0 to 3; the first byte of a pair holds
// the channel number in bits 7-6 and value bits 9-8 in bits 1-0, the second value bits 7-0
// (values 0..1023).
void AppendFourChannel(Bytes& out, const std::array<int, 4>& values);

// The 10-bit corner record: a status byte 0x80 and six bytes; corners in the order UL, UR, LL, LR
// (values 0..1023). b1 holds the high three bits of LL (bits 6-4) and UL (bits 2-0), b2 of UR
// (bits 6-4) and LR (bits 2-0); b3..b6 the low seven bits of LL, UL, UR, LR.
void AppendCorner10(Bytes& out, const std::array<int, 4>& ulUrLlLr);

// The I/Q corner record: a status byte and 40 bytes; for each corner UL, UR, LL, LR the I value and
// then the Q value, 32 bits each, as four 7-bit bytes and one 4-bit byte, most significant first.
// The status byte carries the low six bits of the sample counter.
void AppendCornerIq(Bytes& out, const std::array<std::int32_t, 4>& i, const std::array<std::int32_t, 4>& q,
                    std::uint8_t counter);

}  // namespace kx7::emu
