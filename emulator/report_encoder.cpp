#include "report_encoder.h"

#include <algorithm>
#include <cstdio>

namespace kx7::emu {

namespace {

int Clamp(int v, int lo, int hi) { return std::min(std::max(v, lo), hi); }

std::uint8_t Status(TabletStatus s) {
  return static_cast<std::uint8_t>(0x80 | (s.touching ? 0x40 : 0) | (s.button ? 0x02 : 0) | (s.pen ? 0x01 : 0));
}

void Append14(Bytes& out, int v) {
  v = Clamp(v, 0, 16383);
  out.push_back(static_cast<std::uint8_t>(v & 0x7F));
  out.push_back(static_cast<std::uint8_t>((v >> 7) & 0x7F));
}

}  // namespace

void AppendTablet(Bytes& out, TabletStatus status, int x, int y) {
  out.push_back(Status(status));
  Append14(out, x);
  Append14(out, y);
}

void AppendTabletZ(Bytes& out, TabletStatus status, int x, int y, int z) {
  AppendTablet(out, status, x, y);
  Append14(out, z);
}

void AppendTabletContact(Bytes& out, TabletStatus status, int x, int y, int contact) {
  AppendTablet(out, status, x, y);
  // Bit 7 would start a new report on the host, so the number stays within seven bits.
  out.push_back(static_cast<std::uint8_t>(Clamp(contact, 0, 127)));
}

void AppendRawSigned(Bytes& out, bool touching, int x14, int y14) {
  out.push_back(touching ? 0xC0 : 0x80);
  for (int v : {x14, y14}) {
    const int s = Clamp(v, 0, 16383) - 8192;  // -8192..8191: exactly 14-bit two's complement
    out.push_back(static_cast<std::uint8_t>(s & 0x7F));
    out.push_back(static_cast<std::uint8_t>((s >> 7) & 0x7F));
  }
}

void AppendAscii(Bytes& out, std::uint8_t status, int x, int y, bool hexadecimal) {
  const int top = hexadecimal ? 0x3FF : 999;
  char text[16];
  std::snprintf(text, sizeof text, hexadecimal ? "%03X,%03X\r" : "%03d,%03d\r", Clamp(x, 0, top), Clamp(y, 0, top));
  out.push_back(status);
  for (const char* c = text; *c; ++c) out.push_back(static_cast<std::uint8_t>(*c));
}

void AppendCompact(Bytes& out, std::uint8_t status, int x, int y) {
  x = Clamp(x, 0, 1023);
  y = Clamp(y, 0, 1023);
  out.push_back(status);
  out.push_back(static_cast<std::uint8_t>(x >> 5));
  out.push_back(static_cast<std::uint8_t>(x & 0x1F));
  out.push_back(static_cast<std::uint8_t>(y >> 5));
  out.push_back(static_cast<std::uint8_t>(y & 0x1F));
}

void AppendFourChannel(Bytes& out, const std::array<int, 4>& values) {
  for (int channel = 0; channel < 4; ++channel) {
    const int v = Clamp(values[channel], 0, 1023);
    out.push_back(static_cast<std::uint8_t>((channel << 6) | (v >> 8)));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  }
}

void AppendCorner10(Bytes& out, const std::array<int, 4>& c) {
  const int ul = Clamp(c[0], 0, 1023), ur = Clamp(c[1], 0, 1023), ll = Clamp(c[2], 0, 1023), lr = Clamp(c[3], 0, 1023);
  out.push_back(0x80);
  out.push_back(static_cast<std::uint8_t>(((ll >> 7) << 4) | (ul >> 7)));
  out.push_back(static_cast<std::uint8_t>(((ur >> 7) << 4) | (lr >> 7)));
  out.push_back(static_cast<std::uint8_t>(ll & 0x7F));
  out.push_back(static_cast<std::uint8_t>(ul & 0x7F));
  out.push_back(static_cast<std::uint8_t>(ur & 0x7F));
  out.push_back(static_cast<std::uint8_t>(lr & 0x7F));
}

void AppendCornerIq(Bytes& out, const std::array<std::int32_t, 4>& i, const std::array<std::int32_t, 4>& q,
                    std::uint8_t counter) {
  out.push_back(static_cast<std::uint8_t>(0x80 | (counter & 0x3F)));
  for (int corner = 0; corner < 4; ++corner) {
    for (std::int32_t value : {i[corner], q[corner]}) {
      const auto v = static_cast<std::uint32_t>(value);
      out.push_back(static_cast<std::uint8_t>((v >> 25) & 0x7F));
      out.push_back(static_cast<std::uint8_t>((v >> 18) & 0x7F));
      out.push_back(static_cast<std::uint8_t>((v >> 11) & 0x7F));
      out.push_back(static_cast<std::uint8_t>((v >> 4) & 0x7F));
      out.push_back(static_cast<std::uint8_t>(v & 0x0F));
    }
  }
}

}  // namespace kx7::emu
