// Faults a test (or `kx7emu --fault`) plants in an emulated controller's download steps: at the
// n-th time the controller meets a named step it refuses, falls silent, answers garbage, sends a
// wrong sum or a wrong handshake byte, or drops off the line for good. Each controller names its
// own steps (the step names are listed with the controllers: `--fault help` of kx7emu prints them).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kx7::emu {

enum class LoaderFaultKind {
  kRefuse,          // the controller's refusal (SOH "1" CR, a stalled request, a refused status)
  kSilent,          // no answer at all
  kGarbage,         // an answer of the wrong form
  kWrongSum,        // a checked block, page or image answered with a sum that is not the data's
  kWrongHandshake,  // a handshake answered with another byte
  kDropOff,         // the controller leaves the line (or the bus) and does not come back
};

struct LoaderFault {
  std::string step;
  int occurrence = 1;  // the first time the step comes is 1
  LoaderFaultKind kind = LoaderFaultKind::kRefuse;
  bool operator==(const LoaderFault&) const = default;
};

class LoaderFaults {
 public:
  LoaderFaults() = default;
  explicit LoaderFaults(std::vector<LoaderFault> faults) : faults_(std::move(faults)) {}

  void Add(const LoaderFault& fault) { faults_.push_back(fault); }
  bool Empty() const { return faults_.empty(); }

  // The step comes once more; the fault planned for this time, if one is.
  std::optional<LoaderFaultKind> Step(const std::string& step);
  // How often the step came so far.
  int Count(const std::string& step) const;

  // "STEP:KIND" (the first time) or "STEP:N:KIND"; KIND is refuse, silent, garbage, wrong-sum,
  // wrong-handshake or drop-off. Nothing when the text is not that.
  static std::optional<LoaderFault> Parse(const std::string& text);
  static const char* KindName(LoaderFaultKind kind);

 private:
  std::vector<LoaderFault> faults_;
  std::map<std::string, int> counts_;
};

// The steps each kind of emulated controller names, for `kx7emu --fault help`.
std::string LoaderFaultSteps();

}  // namespace kx7::emu
