#include "driver_kx7_list.h"

#include "driver_byte_order.h"
#include "driver_emulation_constants.h"
#include "link/driver/driver_constants.h"

namespace kx7::emu {

namespace de = driver_emulation;
namespace dc = kx7::driver;

std::optional<std::vector<std::uint8_t>> EncodeKx7DriverRecord(std::string_view first, std::string_view second) {
  std::vector<std::uint8_t> record(dc::kKx7RecordSize, 0);
  std::size_t at = de::kKx7RecordHeader;
  for (std::size_t field = 0; field < 2; ++field) {
    const std::string_view text = field == 0 ? first : second;
    // The string and its zero unit must lie inside the record.
    if (at + 2 * (text.size() + 1) > record.size()) return std::nullopt;
    PutLittleWord(record, 2 * field, static_cast<std::uint16_t>(at));
    for (const char c : text) {
      PutLittleWord(record, at, static_cast<std::uint8_t>(c));
      at += 2;
    }
    at += 2;
  }
  return record;
}

bool Kx7ControllerList::Add(Kx7ListedController controller) {
  if (controller.number == 0 || Find(controller.number) != nullptr) return false;
  if (controllers_.size() >= dc::kMaxListedControllers) return false;
  controllers_.push_back(std::move(controller));
  return true;
}

const Kx7ListedController* Kx7ControllerList::Find(std::uint16_t number) const {
  for (const Kx7ListedController& controller : controllers_)
    if (controller.number == number) return &controller;
  return nullptr;
}

std::vector<std::uint8_t> Kx7ControllerList::ListRecord() const {
  std::vector<std::uint8_t> record(dc::kListRecordSize, 0);
  PutLittleWord(record, 2, static_cast<std::uint16_t>(2 * controllers_.size()));
  for (std::size_t i = 0; i < controllers_.size(); ++i) PutLittleWord(record, 4 + 2 * i, controllers_[i].number);
  return record;
}

std::optional<std::vector<std::uint8_t>> Kx7ControllerList::ControllerRecord(std::uint16_t number) const {
  const Kx7ListedController* controller = Find(number);
  if (controller == nullptr) return std::nullopt;
  return EncodeKx7DriverRecord(controller->typeName, controller->idText);
}

std::optional<std::vector<std::uint8_t>> Kx7ControllerList::PortRecord(std::uint16_t number) const {
  const Kx7ListedController* controller = Find(number);
  if (controller == nullptr) return std::nullopt;
  return EncodeKx7DriverRecord(controller->heldElsewhere ? "" : controller->portName, controller->extraText);
}

}  // namespace kx7::emu
