#include "firmware/birch2_image_summary.h"

#include <cstdio>
#include <string_view>

#include "firmware/image_buffer.h"
#include "params/comm_byte.h"

namespace kx7::firmware {
namespace {

// Where the texts are looked for (start offsets, both ends included).
constexpr std::size_t kMarkerFirst = 176, kMarkerLast = 207;
constexpr std::size_t kUsbTextFirst = 176, kUsbTextLast = 1663;
constexpr std::size_t kJfqTextFirst = 976, kJfqTextLast = 1663;
constexpr std::size_t kIdentityFirst = 512, kIdentityLast = 1791;
constexpr std::size_t kMarkerLength = 5;
// Block n's offset in the image is the 16-bit word (high byte first) at 4 + 2n.
constexpr std::size_t kBlockTable = 4;
// Block1: the link byte (low four bits baud, high four bits framing); the P5 baud nibble.
constexpr std::size_t kBlock1Link = 10, kBlock1P5Baud = 13;
// Block6: baud index, parity index (16-bit, high byte first), data and stop bits.
constexpr std::size_t kBlock6Baud = 10, kBlock6Parity = 12, kBlock6Bits = 14;
// Block7: the screen-type bytes.
constexpr std::size_t kBlock7Kind = 1, kBlock7Novram = 3;
constexpr std::size_t kBlock7Wiring[] = {41, 43, 45, 47};
constexpr std::uint8_t kWithNovram[] = {3, 0, 1, 2};
constexpr std::uint8_t kWithoutNovram[] = {2, 1, 0, 3};
// A REVC image uses this sequence at least three times.
constexpr std::uint8_t kRevCSequence[] = {0x0D, 0x06, 0x0D, 0x74};
constexpr int kRevCLeast = 3;

class ImageView {
 public:
  explicit ImageView(std::span<const std::uint8_t> image) : image_(image) {}
  std::uint8_t At(std::size_t offset) const { return offset < image_.size() ? image_[offset] : kFill; }
  std::uint16_t Word(std::size_t offset) const { return static_cast<std::uint16_t>(At(offset) << 8 | At(offset + 1)); }
  std::size_t Block(int n) const { return Word(kBlockTable + 2 * static_cast<std::size_t>(n)); }

  bool Matches(std::size_t offset, std::string_view text) const {
    for (std::size_t i = 0; i < text.size(); ++i)
      if (At(offset + i) != static_cast<std::uint8_t>(text[i])) return false;
    return true;
  }
  // `text` as UTF-16LE characters from `offset`.
  bool MatchesWide(std::size_t offset, std::string_view text) const {
    for (std::size_t i = 0; i < text.size(); ++i)
      if (At(offset + 2 * i) != static_cast<std::uint8_t>(text[i]) || At(offset + 2 * i + 1) != 0) return false;
    return true;
  }
  bool FindWide(std::size_t first, std::size_t last, std::string_view text) const {
    for (std::size_t offset = first; offset <= last; ++offset)
      if (MatchesWide(offset, text)) return true;
    return false;
  }
  // "A3" or "P5" and four UTF-16LE digits: the six characters, or "".
  std::string FindIdentity(std::string_view prefix) const {
    for (std::size_t offset = kIdentityFirst; offset <= kIdentityLast; ++offset) {
      if (!MatchesWide(offset, prefix)) continue;
      std::string identity(prefix);
      for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t at = offset + 2 * (prefix.size() + i);
        const std::uint8_t c = At(at);
        if (c < '0' || c > '9' || At(at + 1) != 0) break;
        identity += static_cast<char>(c);
      }
      if (identity.size() == prefix.size() + 4) return identity;
    }
    return "";
  }
  // The text from `offset` to its NUL or the image's end.
  std::string TextAt(std::size_t offset) const {
    std::string text;
    for (std::size_t at = offset; at < image_.size() && image_[at] != 0; ++at) text += static_cast<char>(image_[at]);
    return text;
  }
  int Count(std::span<const std::uint8_t> sequence) const {
    int count = 0;
    for (std::size_t at = 0; at + sequence.size() <= image_.size(); ++at)
      if (std::equal(sequence.begin(), sequence.end(), image_.begin() + static_cast<std::ptrdiff_t>(at))) ++count;
    return count;
  }

 private:
  std::span<const std::uint8_t> image_;
};

// Block1's baud and framing codes read as the parameter editors read them; a code that names no
// setting shows as "baud?" or "params?".
std::string Block1Baud(int code) {
  std::string baud = CommByteBaud(code).value_or("baud?,");
  baud.pop_back();  // the settings string's comma
  return baud;
}

std::string Block1Framing(int code) { return CommByteFraming(code).value_or("params?"); }

std::string Block6Settings(const ImageView& view, std::size_t block6) {
  static constexpr const char* kSpeeds[] = {"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "56700", "115200"};
  const std::uint16_t baud = view.Word(block6 + kBlock6Baud);
  const std::uint16_t parity = view.Word(block6 + kBlock6Parity);
  const std::uint8_t bits = view.At(block6 + kBlock6Bits);
  std::string text = baud < std::size(kSpeeds) ? kSpeeds[baud] : "baud?";
  text += parity == 0 ? ",N" : parity == 1 ? ",O" : parity == 2 ? ",E" : ",?";
  const int data = bits >> 4;
  text += data == 7 ? ",7" : data == 8 ? ",8" : ",?";
  const int stop = (bits >> 2) & 0x3;
  text += stop == 1 ? ",1" : stop == 2 ? ",2" : ",?";
  return text;
}

std::string ScreenTypeLine(const ImageView& view) {
  const std::size_t block7 = view.Block(7);
  const std::uint8_t kind = view.At(block7 + kBlock7Kind);
  const std::uint8_t novram = view.At(block7 + kBlock7Novram);
  if ((kind & 1) != 0 && novram == 0) return "Hex File Screen Type: Capacitive\n";
  if ((kind & 1) == 0 && novram == 1) {
    bool with = true, without = true;
    for (std::size_t i = 0; i < std::size(kBlock7Wiring); ++i) {
      const std::uint8_t wire = view.At(block7 + kBlock7Wiring[i]);
      with = with && wire == kWithNovram[i];
      without = without && wire == kWithoutNovram[i];
    }
    if (with) return "Hex File Screen Type: Resistive w/Novram\n";
    if (without) return "Hex File Screen Type: Resistive w/o Novram\n";
  }
  return "";
}

}  // namespace

Birch2Summary SummarizeBirch2Image(std::span<const std::uint8_t> image, ActualAsic actual) {
  const ImageView view(image);
  const std::uint16_t sum = ImageSum(image);
  Birch2Summary summary;
  char line[64];
  std::snprintf(line, sizeof line, "Checksum = %04X\n", static_cast<unsigned>(sum));
  summary.text = line;

  std::size_t marker = 0;
  bool found = false, topaz = false;
  for (std::size_t offset = kMarkerFirst; offset <= kMarkerLast && !found; ++offset) {
    topaz = view.Matches(offset, "TOPAZ");
    if (topaz || view.Matches(offset, "BR II")) {
      found = true;
      marker = offset;
    }
  }
  static_assert(kMarkerLength == 5);
  if (found) {
    summary.text += view.TextAt(marker) + "\n";
    if (view.FindWide(kUsbTextFirst, kUsbTextLast, "USB ") || view.FindWide(kUsbTextFirst, kUsbTextLast, "700 ") ||
        view.FindWide(kJfqTextFirst, kJfqTextLast, "JFQ C")) {
      summary.interface = 'U';
      summary.text += "Hex File Interface: USB\n";
    } else {
      summary.interface = 'S';
      std::string identity = view.FindIdentity("A3");
      if (identity.empty()) identity = view.FindIdentity("P5");
      const bool p5 = identity.rfind("P5", 0) == 0;
      if (!identity.empty()) summary.text += "Hex File OI: " + identity + "\n";
      const std::size_t block1 = view.Block(1);
      const std::uint8_t link = view.At(block1 + kBlock1Link);
      const std::string block1Text =
          p5 ? Block1Baud(view.At(block1 + kBlock1P5Baud) >> 4) : Block1Baud(link & 0x0F) + "," + Block1Framing(link >> 4);
      const std::size_t block6 = view.Block(6);
      const std::string block6Text = Block6Settings(view, block6);
      summary.text += "Hex File Interface: Serial ";
      summary.text += view.Word(block6 + kBlock6Baud) != 0 ? block6Text : block1Text;
      if (block1Text != block6Text)
        summary.text += "  [Blocks don't match!]\n >>>>>>>>>>>>>> Block1: " + block1Text + " Block6: " + block6Text;
      summary.text += "\n";
    }
  }
  summary.text += ScreenTypeLine(view);
  if (found) {
    summary.target = topaz || view.Count(kRevCSequence) < kRevCLeast ? 'B' : 'C';
    summary.text += summary.target == 'B' ? "Hex File Target: REVB\n" : "Hex File Target: REVC\n";
  } else {
    summary.text += "Hex File Target: unknown\n";
  }
  switch (actual) {
    case ActualAsic::kNotRead:
      break;
    case ActualAsic::kRevB:
      summary.text += "Actual ASIC: REVB\n";
      break;
    case ActualAsic::kRevC:
      summary.text += "Actual ASIC: REVC\n";
      break;
    case ActualAsic::kUnknown:
      summary.text += "Actual ASIC: unknown\n";
      break;
  }
  if (sum == 0 || sum == 0x8000) summary.text += "Blank File\n";
  return summary;
}

bool Birch2ImageFits(const Birch2Summary& summary, bool usbLink, ActualAsic actual) {
  if (summary.interface != (usbLink ? 'U' : 'S')) return false;
  const char asic = actual == ActualAsic::kRevB ? 'B' : actual == ActualAsic::kRevC ? 'C' : '?';
  return summary.target == asic;
}

}  // namespace kx7::firmware
