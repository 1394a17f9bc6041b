// The Block1 property sheet ("Block1"): Binary Edit and the pages of the controller's family over
// the main frame's copy of Block1. Apply writes Block1; a changed CommByte makes the write one
// that does not wait for the acknowledgement (the controller answers at its new settings), and
// the port follows the controller to the new settings.
//
// Edits on a page that is left stay in the main frame's copy until Apply, OK or Cancel: Apply and
// OK write them with the active page's, Cancel puts back what was written last.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/main_frame.h"
#include "params/block1_binary_page.h"
#include "params/block1_frequencies.h"
#include "proto/command_channel.h"

namespace kx7 {

class Block1Sheet : public DialogModel {
 public:
  // Takes the main frame's Block1 (read just before); the pages follow the controller type.
  Block1Sheet(CMainFrame& frame, CommandChannel& channel);
  ~Block1Sheet() override;

  const char* Kind() const override { return "Block1Sheet"; }
  std::string Title() const override { return "Block1"; }
  // OK: Apply when a page is modified; the sheet closes unless the write failed.
  bool OnOk() override;
  // Cancel: the main frame's Block1 is what was last read or written.
  void OnCancel();

  std::vector<std::unique_ptr<Block1Page>>& Pages() { return pages_; }
  CBlock1Page1& BinaryEdit() { return static_cast<CBlock1Page1&>(*pages_.front()); }
  std::size_t ActivePage() const { return active_; }
  // Switches to another page: a modified page's edits go into the main frame's copy first.
  void Activate(std::size_t page);
  bool AnyModified() const;

  // The sheet's Apply; false when the write failed.
  bool Apply();
  // Binary Edit's "Save File" and "Read File" with their file dialogs; false when nothing was done.
  bool SaveBinaryFile();
  bool ReadBinaryFile();

  // The sheet's state as the pages set it.
  bool commChanged = false;
  std::string newPortSettings;
  bool frequencyChanged = false;
  std::optional<int> newFrequency;

  // The pages of a controller type after Binary Edit, by title (tests and the views).
  static std::vector<std::string> PageTitles(std::uint32_t type, std::uint32_t features);
  // The port settings a new Block1 moves the controller to: nothing when its CommByte shows the
  // same as before, or names no complete setting.
  static std::optional<std::string> ChangedPortSettings(std::uint32_t type, std::uint32_t features,
                                                        const BlockBytes& before, const BlockBytes& after);

 private:
  void OnFieldChange(Block1Page& page, std::size_t field);

  CMainFrame& frame_;
  CommandChannel& channel_;
  std::uint32_t type_;
  std::vector<std::unique_ptr<Block1Page>> pages_;
  std::size_t active_ = 0;
  BlockBytes written_;  // Block1 as the controller has it (read or written last)
  bool applying_ = false;
};

}  // namespace kx7
