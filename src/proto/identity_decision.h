// What the identity replies of a controller on the command set say it is: the decision list that
// turns the replies to "OI", "UV", "UT", "OS", "NM" and "-OI" into a controller type, its feature
// bits and the words of its type text. No input or output here; the identifier asks, this decides.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kx7 {

using ReplyBytes = std::vector<std::uint8_t>;

// The replies as they came from Transact (an empty vector: no reply at all).
struct IdentityReplies {
  ReplyBytes oi, uv, ut, os, nm, minusOi, gf;
};

// The replies as the frame keeps them for other tools: an OI reply that is not exactly 8 bytes,
// a UV or UT reply that is not exactly 10 bytes and a GF reply shorter than 3 bytes become 20 zero
// bytes; OS, NM and "-OI" are kept as they came.
IdentityReplies StoredIdentityReplies(const IdentityReplies& received);

enum class CedarGeneration { kNone, kGen2, kGen3, kGen4 };

struct IdentityDecision {
  std::uint32_t type = 32855;  // Generic when nothing matched
  std::uint32_t features = 0;
  std::string typeText;    // "Birch2 ", "OEM Linden Quince APAC ", "Cedar GEN3", "" ...
  std::string errorWords;  // words the decision itself puts on the Errors line (Birch ROM's OS flags)
  bool penModeAuto = false;  // Aspen4 and Birch PEN start in Auto pen mode
  // The Cedar steps still to run (panel ID, "-OI", the option word, the "115" rule): GEN3 and GEN4
  // carry an option parameter command ("Q354", "Q303"); GEN2 runs only the "115" rule.
  CedarGeneration cedar = CedarGeneration::kNone;
  std::string optionParameter;
  // The status pair: UV characters 7 and 8, replaced by UT's when UT came; "00" when neither did.
  std::string statusPair = "00";
};

// Decides on the stored replies (StoredIdentityReplies). The rules are tried in order and a later
// rule that matches replaces the type, features and text of an earlier one (so an OI "A30630"
// with UV "QM" is an OEM Linden board although it passes the Birch test too); the Aspen4 test
// ("P") is the other branch of the Birch test.
IdentityDecision DecideIdentity(const IdentityReplies& stored);

// The status value of the pair as a two-digit hexadecimal number; 0 when it is not one.
std::uint32_t StatusPairValue(const std::string& pair);

}  // namespace kx7
