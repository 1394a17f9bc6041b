#include "params/block1_sheet.h"

#include "controller/controller_families.h"
#include "controller/controller_types.h"
#include "params/block1_family_pages.h"
#include "params/comm_byte.h"
#include "params/file_buttons.h"
#include "params/params_constants.h"
#include "params/speed_change.h"

namespace kx7 {

namespace {

std::vector<std::unique_ptr<Block1Page>> FamilyPages(std::uint32_t type, std::uint32_t features) {
  std::vector<std::unique_ptr<Block1Page>> pages;
  switch (type) {
    case type::kHazel3:
    case type::kUsb1:
      pages.push_back(std::make_unique<CBlock1Page2>(type == type::kUsb1));
      pages.push_back(std::make_unique<CBlock1Page3>());
      break;
    case type::kHawthorn:
      pages.push_back(std::make_unique<CBlock1Page2>(false));
      pages.push_back(std::make_unique<CBlock1Page3>());
      pages.push_back(std::make_unique<CBlock1Page6>());
      break;
    case type::kJuniper:
      pages.push_back(std::make_unique<CBlock1Page7>());
      pages.push_back(std::make_unique<CBlock1Page8>());
      break;
    case type::kBirch:
      pages.push_back(std::make_unique<CBlock1Page9>());
      break;
    case type::kAspen4:
      pages.push_back(std::make_unique<CBlock1Page4>());
      pages.push_back(std::make_unique<CBlock1Page5>());
      break;
    case type::kBirchPen:
      pages.push_back(std::make_unique<CBlock1Page10>());
      break;
    case type::kResistive4Wire:
    case type::kResistive5Wire:
      pages.push_back(std::make_unique<CBlock1Page11>());
      pages.push_back(std::make_unique<CBlock1Page12>());
      break;
    case type::kResistive4WireUsb:
    case type::kResistive5WireUsb:
      pages.push_back(std::make_unique<CBlock1Page11>());
      break;
    default:
      if (IsLarchType(type)) pages.push_back(std::make_unique<CBlock1Page15>((features & feature::kLarchModelSequoia) != 0));
      break;
  }
  return pages;
}

}  // namespace

std::vector<std::string> Block1Sheet::PageTitles(std::uint32_t type, std::uint32_t features) {
  std::vector<std::string> titles;
  for (const auto& page : FamilyPages(type, features)) titles.push_back(page->Title());
  return titles;
}

std::optional<std::string> Block1Sheet::ChangedPortSettings(std::uint32_t type, std::uint32_t features,
                                                            const BlockBytes& before, const BlockBytes& after) {
  for (const auto& page : FamilyPages(type, features)) {
    const Block1Field* baud = page->FieldOf(FieldRole::kBaud);
    if (baud == nullptr) continue;
    const Block1Field* framing = page->FieldOf(FieldRole::kFraming);
    const auto code = [&](const Block1Field* field, const BlockBytes& block) -> std::optional<int> {
      for (const std::size_t at : field->bytes)
        if (at >= block.size()) return std::nullopt;
      return field->decode(block);
    };
    const std::optional<int> baudAfter = code(baud, after);
    const std::optional<int> framingAfter = framing != nullptr ? code(framing, after) : std::nullopt;
    const bool changed = code(baud, before) != baudAfter || (framing != nullptr && code(framing, before) != framingAfter);
    if (!changed || !baudAfter || (framing != nullptr && !framingAfter)) return std::nullopt;
    return CommBytePortSettings(*baudAfter, framing != nullptr ? framingAfter : std::nullopt);
  }
  return std::nullopt;
}

Block1Sheet::Block1Sheet(CMainFrame& frame, CommandChannel& channel)
    : frame_(frame), channel_(channel), type_(frame.ControllerType) {
  written_ = frame_.blocks.Bytes(block::kBlock1);
  pages_.push_back(std::make_unique<CBlock1Page1>());
  for (auto& page : FamilyPages(type_, frame.ControllerFeatures)) pages_.push_back(std::move(page));
  for (auto& page : pages_)
    page->onChange = [this](Block1Page& changed, std::size_t field) { OnFieldChange(changed, field); };
  Activate(0);
}

Block1Sheet::~Block1Sheet() = default;

void Block1Sheet::Activate(std::size_t page) {
  if (page >= pages_.size()) return;
  Block1Page& leaving = *pages_[active_];
  if (page != active_ && leaving.modified) frame_.blocks.Bytes(block::kBlock1) = leaving.Applied();
  const bool keepModified = page != active_ && leaving.modified;
  active_ = page;
  Block1Page& shown = *pages_[active_];
  shown.OnActivate(frame_.blocks.Bytes(block::kBlock1));
  if (auto* binary = dynamic_cast<CBlock1Page1*>(&shown)) {
    const char status = frame_.blocks.Status(block::kBlock1);
    binary->revision = status != 0 ? std::string(1, status) : std::string();
  }
  // Edits taken from the page left still wait for Apply.
  if (keepModified) shown.modified = true;
}

bool Block1Sheet::AnyModified() const {
  for (const auto& page : pages_)
    if (page->modified) return true;
  return false;
}

void Block1Sheet::OnFieldChange(Block1Page& page, std::size_t index) {
  const Block1Field& field = page.fields[index];
  if (field.role == FieldRole::kFrequency) {
    frequencyChanged = true;
    newFrequency = field.value;
    return;
  }
  if (field.role != FieldRole::kBaud && field.role != FieldRole::kFraming) return;
  const Block1Field* baud = page.FieldOf(FieldRole::kBaud);
  const Block1Field* framing = page.FieldOf(FieldRole::kFraming);
  if (baud == nullptr || !baud->value) return;
  std::optional<int> framingCode;
  if (framing != nullptr) {
    if (!framing->value) return;
    framingCode = framing->value;
  }
  // A code without a speed or a framing changes nothing on the port's side.
  const std::optional<std::string> settings = CommBytePortSettings(*baud->value, framingCode);
  commChanged = settings.has_value();
  newPortSettings = settings.value_or(std::string());
}

bool Block1Sheet::Apply() {
  if (applying_) return false;
  applying_ = true;
  frame_.blocks.Bytes(block::kBlock1) = pages_[active_]->Applied();
  bool written = false;
  if (commChanged) {
    written = WriteBlockAtNewSettings(frame_, channel_, block::kBlock1, newPortSettings);
    commChanged = false;
  } else {
    written = channel_.WriteBlock(block::kBlock1);
  }
  frequencyChanged = false;
  if (written) written_ = frame_.blocks.Bytes(block::kBlock1);
  // The Rowan/Cedar check word was stored in the copy: every page shows what was sent.
  for (auto& page : pages_) page->modified = false;
  pages_[active_]->OnActivate(frame_.blocks.Bytes(block::kBlock1));
  if (auto* binary = dynamic_cast<CBlock1Page1*>(pages_[active_].get())) {
    const char status = frame_.blocks.Status(block::kBlock1);
    binary->revision = status != 0 ? std::string(1, status) : std::string();
  }
  applying_ = false;
  return written;
}

bool Block1Sheet::SaveBinaryFile() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kBlock1, "bk1"}, true);
  return path && BinaryEdit().SaveFile(*path, frame_.Ui());
}

bool Block1Sheet::ReadBinaryFile() {
  const std::optional<std::string> path = ChooseParamFile(frame_, {filter::kBlock1, "bk1"}, false);
  return path && BinaryEdit().ReadFile(*path, frame_.Ui());
}

bool Block1Sheet::OnOk() {
  if (!AnyModified()) return true;
  return Apply();
}

void Block1Sheet::OnCancel() { frame_.blocks.Bytes(block::kBlock1) = written_; }

}  // namespace kx7
