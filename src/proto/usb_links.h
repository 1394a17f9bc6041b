// The driver and HID links as the rest of the program reaches them: one object in the frame's
// life that holds both links and their identification, and puts them behind the command channel,
// identification, Find Controller, the Type menu and the frame: the output routes, block reads and
// writes, pass-through, the KX7 and HID steps of the search, connect by type, closing the links,
// the device-presence check of the plug-in path, and the HID commands of the menus.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/driver/driver_link.h"
#include "link/hid/hid_link.h"
#include "platform/registry_store.h"
#include "proto/controller_finder.h"
#include "proto/driver_identification.h"
#include "proto/hid_identification.h"

namespace kx7 {

struct ControllerProtocol;

enum class LinkReaders { kThreads, kPolled };

class UsbLinks {
 public:
  UsbLinks(CMainFrame& frame, ControllerProtocol& protocol, LinkReaders readers);
  ~UsbLinks();
  UsbLinks(const UsbLinks&) = delete;
  UsbLinks& operator=(const UsbLinks&) = delete;

  HidLink& Hid() { return hid_; }
  DriverLink& Driver() { return driver_; }
  HidIdentification& HidIdentify() { return hidIdentification_; }
  DriverIdentification& DriverIdentify() { return driverIdentification_; }
  RegistryStore& Registry() { return registry_; }

  // Find Controller's connect by type; `fromKx7List` when the type came from the KX7 driver's
  // list (the controller is then reached through that driver).
  bool ConnectByType(std::uint32_t type, std::uint16_t product, bool fromKx7List);
  // One pass of each polled reader (virtual-time tests); true when one delivered something.
  bool PollOnce();
  // The frame's device-change check: is the open USB controller still there?
  bool DevicePresent();
  void CloseLink(int linkKind);

  // The Format menu's requests on these links.
  void SetUsbMode(int value);
  void HidRequest(int request);
  void DriverReport(int request, bool on);
  bool ZCapable() const;

 private:
  ControllerFinder::StepResult Kx7Step();
  int CountHid();
  ControllerFinder::StepResult PickHid();
  bool OpenHidOfType(std::uint32_t type, std::uint16_t product, bool fromKx7List);
  bool ConnectHid(std::uint32_t type, std::uint16_t product, bool fromKx7List, bool alreadyOpen);
  void ConnectFailed(bool quiet);
  void Found();
  bool ReadBlock(int number, std::vector<std::uint8_t>& block);
  bool WriteBlock(int number, const std::vector<std::uint8_t>& block);
  void SetPenMode(std::uint32_t penMode);
  void Install();

  CMainFrame& frame_;
  ControllerProtocol& protocol_;
  RegistryStore registry_;
  DriverLink driver_;
  HidLink hid_;
  DriverIdentification driverIdentification_;
  HidIdentification hidIdentification_;
  int hidPick_ = 0;  // the result of the last HID count: the candidates, or -1 for a cancelled pick
};

}  // namespace kx7
