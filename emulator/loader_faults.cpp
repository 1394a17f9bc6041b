#include "loader_faults.h"

#include <array>
#include <utility>

namespace kx7::emu {
namespace {

constexpr std::array<std::pair<LoaderFaultKind, const char*>, 6> kKinds = {{
    {LoaderFaultKind::kRefuse, "refuse"},
    {LoaderFaultKind::kSilent, "silent"},
    {LoaderFaultKind::kGarbage, "garbage"},
    {LoaderFaultKind::kWrongSum, "wrong-sum"},
    {LoaderFaultKind::kWrongHandshake, "wrong-handshake"},
    {LoaderFaultKind::kDropOff, "drop-off"},
}};

constexpr int kMostOccurrence = 1 << 24;

}  // namespace

std::optional<LoaderFaultKind> LoaderFaults::Step(const std::string& step) {
  if (faults_.empty()) return std::nullopt;
  const int count = ++counts_[step];
  for (const LoaderFault& fault : faults_)
    if (fault.step == step && fault.occurrence == count) return fault.kind;
  return std::nullopt;
}

int LoaderFaults::Count(const std::string& step) const {
  const auto it = counts_.find(step);
  return it == counts_.end() ? 0 : it->second;
}

const char* LoaderFaults::KindName(LoaderFaultKind kind) {
  for (const auto& [known, name] : kKinds)
    if (known == kind) return name;
  return "";
}

std::optional<LoaderFault> LoaderFaults::Parse(const std::string& text) {
  const std::size_t last = text.rfind(':');
  if (last == std::string::npos || last == 0) return std::nullopt;
  LoaderFault fault;
  const std::string kindName = text.substr(last + 1);
  bool known = false;
  for (const auto& [kind, name] : kKinds) {
    if (kindName == name) {
      fault.kind = kind;
      known = true;
    }
  }
  if (!known) return std::nullopt;
  std::string step = text.substr(0, last);
  // STEP:N:KIND; a step name may itself hold no ':'.
  if (const std::size_t colon = step.rfind(':'); colon != std::string::npos) {
    const std::string number = step.substr(colon + 1);
    if (number.empty() || number.size() > 8 || number.find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
    fault.occurrence = std::stoi(number);
    if (fault.occurrence < 1 || fault.occurrence > kMostOccurrence) return std::nullopt;
    step = step.substr(0, colon);
  }
  if (step.empty() || step.find(':') != std::string::npos) return std::nullopt;
  fault.step = step;
  return fault;
}

std::string LoaderFaultSteps() {
  return "Larch boot loader (larch, larch-mt):\n"
         "  RE1 (the reboot into the boot loader), Z (a ping), PB (the page size), PD (a piece's\n"
         "  command), PD-data (a piece's bytes), PE (a page's command), PE-page (its number), RE3\n"
         "Birch (birch, birch-rom, birch-pen):\n"
         "  FE (the ROM's map command), FE-map (the map), QPO (a memory write), QPO-data (its values),\n"
         "  RE3\n"
         "Cedar GEN2 DSP loader (cedar-gen2):\n"
         "  MPL (entering the loader), R, S, T (the handshakes), code, data (the checked blocks),\n"
         "  Y (a commit), H (the reboot)\n"
         "Cedar GEN3/GEN4 code loader (cedar-gen3, cedar-gen4):\n"
         "  -DWO, MPL (entering the loader), F (the handshake), image (the answer), RE3\n"
         "Kinds: refuse, silent, garbage, wrong-sum, wrong-handshake, drop-off.\n";
}

}  // namespace kx7::emu
