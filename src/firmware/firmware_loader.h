// The "Firmware Loader": a raw .bin image into a Larch controller's boot loader over the serial
// link, page by page. The boot loader is entered with "RE1" unless the controller already runs it
// (feature bit 0x800); "PB" gives the page size; every piece of at most 32 bytes goes out as
// "PD", OK, its bytes as hexadecimal pairs and CR, OK, and a full page (and the last partial one)
// is closed with "PE", OK, the page number as "%04X" and CR, OK. With "Reboot" set the controller
// is rebooted into the new code ("RE3") at the end.
//
// The transfer advances one piece per posted step, so the window stays responsive; the first
// failed wait ends it with "Error Poke Frame" and nothing is sent after it (pages committed
// before stay in the controller).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "firmware/image_profile.h"
#include "firmware/loader_dialog.h"

namespace kx7::firmware {

class FirmwareLoader : public LoaderDialog {
 public:
  FirmwareLoader(CMainFrame& frame, ControllerProtocol& protocol);

  const char* Kind() const override { return title::kFirmwareLoader; }

  // The "Reboot" box (set on opening).
  bool reboot = true;

  // The "Image File" box: "Size: %04X\nFileSum: %04X", or empty before an image is loaded.
  const std::string& ImageText() const { return imageText_; }
  bool HasImage() const { return image_.has_value(); }
  std::size_t ImageLength() const { return image_ ? image_->length : 0; }
  // "Send File to Controller" is offered with an image on an open serial link while idle.
  bool CanSend() const;
  // The page size the boot loader gave for the last run (0 before it answered).
  std::size_t PageSize() const { return pageSize_; }

  void Start() override;

 protected:
  bool LoadImageFile(const std::string& path) override;
  const char* FileFilter() const override { return filter::kBinary; }
  const char* FilePattern() const override { return filter::kBinaryPattern; }
  void OnStep() override;

 private:
  // "RE1", then (the controller drops what comes while it restarts) waits, clears the link and
  // pings until the boot loader answers.
  bool EnterBootLoader();
  // "PB": SOH, four hexadecimal digits, CR; nothing for any other answer or a size of 0.
  std::optional<std::size_t> ReadPageSize();
  bool SendPiece(std::size_t offset, std::size_t count);
  bool CommitPage(std::size_t page);
  void Finish();

  std::optional<LoadedImage> image_;
  std::string imageText_;
  std::size_t pageSize_ = 0;
  std::size_t sent_ = 0;       // image bytes acknowledged
  std::size_t pageFill_ = 0;   // bytes in the current page
  std::size_t page_ = 0;       // the current page number
};

}  // namespace kx7::firmware
