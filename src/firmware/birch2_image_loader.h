// The "Birch2 EEPROM Image" dialog: a 32,768-byte image of the Birch controller's EEPROM (memory
// 9) copied from the controller into an Intel hex file, or sent from a file into the controller.
//
// Sending: the ID block (Block5), and with the Preserve box the linearization (Block2), are read
// first; the image is written into memory 9 (for a Birch ROM over the command set the default
// EEPROM map goes first with "FE"; over a Birch USB ROM's driver the map goes into memory 7); the
// controller is rebooted into the new image and searched for; once it is found again the saved
// blocks are written back and the dialog closes.
//
// The image is written whole or the run fails with "Error Poke Frame": no reboot into a partial
// image, no block written over it, and a Block5 that could not be read is not written back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "firmware/birch2_image_summary.h"
#include "firmware/image_profile.h"
#include "firmware/loader_dialog.h"

namespace kx7::firmware {

class Birch2ImageLoader : public LoaderDialog {
 public:
  Birch2ImageLoader(CMainFrame& frame, ControllerProtocol& protocol);

  const char* Kind() const override { return title::kBirch2Image; }

  // The "Preserve Linearization Data and ID" box: offered with the "-linearize" switch only.
  bool preserve = false;
  bool PreserveOffered() const;

  // The "Turbo" box: the transfer at 115200 baud over a serial link (not for controllers with
  // feature 0x400).
  bool turbo = false;
  bool TurboOffered() const;

  // The "Image File" box.
  const std::string& SummaryText() const { return summaryText_; }
  bool HasImage() const { return image_.has_value(); }
  // "Send File to Controller": a compatible image on an open link while idle.
  bool CanSend() const;
  // "Copy Controller to File": an open link to a Birch-family controller while idle.
  bool CanCopy() const;

  void Start() override;
  // Reads the controller's image and writes it to `path` as 32 K Intel hex; false (after "Read
  // Error" or the file's failure) when it could not.
  bool CopyControllerToFile(const std::string& path);
  // The image read by the last copy.
  const std::vector<std::uint8_t>& ControllerImage() const { return controllerImage_; }

 protected:
  bool LoadImageFile(const std::string& path) override;
  const char* FileFilter() const override { return filter::kIntelHex; }
  const char* FilePattern() const override { return filter::kHexPattern; }
  void OnFoundAgain(bool found) override;
  void OnProgressMessage(WParam address) override;

 private:
  ActualAsic ReadActualAsic();
  void Summarize();
  bool WriteImage();
  // The controller's serial speed word (memory 10, address 4177) set for 115200 baud and the
  // port with it; Lower puts both back. A word that cannot be read leaves the speed as it is.
  void RaiseTurbo();
  void LowerTurbo();

  std::optional<LoadedImage> image_;
  std::string summaryText_;
  bool fits_ = false;
  ActualAsic actual_ = ActualAsic::kNotRead;
  std::optional<std::vector<std::uint8_t>> savedBlock2_;
  std::optional<std::vector<std::uint8_t>> savedBlock5_;
  std::vector<std::uint8_t> controllerImage_;
  std::uint16_t turboSaved_ = 0;  // 0: Turbo is not raised
  std::string turboSettings_;
};

}  // namespace kx7::firmware
