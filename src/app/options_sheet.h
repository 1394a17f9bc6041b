// The Options sheet: three pages ("General", "Terminal", "Draw") over a private copy of the
// OptionsBlock. A change on a page stores that page's controls into the copy and enables
// "Apply"; Apply hands the copy to the program, OK does the same when something is not applied
// yet, Cancel drops what was not applied. Controls that are never shown still carry their values
// through. Number fields take integers only ("Please enter an integer.").
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/options_block.h"
#include "platform/ui_host.h"

namespace kx7 {

enum class OptionControlKind { kCheck, kList, kNumber };

struct OptionControl {
  const char* label;
  OptionControlKind kind;
  bool hidden;
  int OptionsBlock::*field;
  std::vector<const char*> items;  // of a drop-down list
};

struct OptionsPage {
  const char* className;  // "COptions1"
  const char* title;      // "General"
  int resource;
  std::vector<OptionControl> controls;
};

// The pages in tab order.
const std::vector<OptionsPage>& OptionsPages();

inline constexpr const char* kEnterIntegerText = "Please enter an integer.";
inline constexpr int kOptionsDefaultButton = 1436;

class COptionsSheet : public DialogModel {
 public:
  // `apply` gets the copy on Apply (ok = false) and on OK with changes not yet applied (ok = true).
  COptionsSheet(const OptionsBlock& current, UiHost& ui, std::function<void(const OptionsBlock&, bool ok)> apply);

  const char* Kind() const override { return "Options"; }
  std::string Title() const override { return "Options"; }
  bool OnOk() override;

  // --- The controls, as the pages show them ------------------------------------------------------
  std::size_t PageCount() const { return OptionsPages().size(); }
  const OptionsPage& Page(std::size_t page) const { return OptionsPages()[page]; }
  // A check box's state or a list's selected index.
  int Value(std::size_t page, std::size_t control) const;
  // A number field's text.
  const std::string& Text(std::size_t page, std::size_t control) const;
  // Clicks and edits: the page's controls go into the copy (false when a number field is not an
  // integer: "Please enter an integer." is shown and nothing of the page is stored).
  bool SetValue(std::size_t page, std::size_t control, int value);
  bool SetText(std::size_t page, std::size_t control, const std::string& text);
  // The Enter key presses the hidden default button: the active page is stored, the sheet stays.
  bool Enter();
  void SetActivePage(std::size_t page) { active_ = page < PageCount() ? page : active_; }
  std::size_t ActivePage() const { return active_; }
  bool ApplyEnabled() const;
  bool Apply();
  // Where a control of that label is (the first with it), or nothing.
  std::optional<std::pair<std::size_t, std::size_t>> Find(const std::string& label) const;

  const OptionsBlock& Copy() const { return copy_; }

 private:
  struct ControlState {
    int value = 0;
    std::string text;
  };
  void Load(std::size_t page);
  bool Store(std::size_t page, bool markModified = true);

  OptionsBlock copy_;
  UiHost& ui_;
  std::function<void(const OptionsBlock&, bool)> apply_;
  std::vector<std::vector<ControlState>> states_;
  std::vector<bool> modified_;
  std::size_t active_ = 0;
};

// A number field's text as an integer ("12", "-3", blanks around), or nothing.
std::optional<int> ReadOptionInteger(const std::string& text);

}  // namespace kx7
