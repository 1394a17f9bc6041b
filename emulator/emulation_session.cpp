#include "emulation_session.h"

#include "controller.h"
#include "touch_report_generator.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cmath>

#include "birch_usb_controller.h"
#include "controller.h"
#include "emulated_device.h"
#include "hid_backend.h"
#include "hid_family.h"
#include "report_encoder.h"
#include "touch_report_generator.h"
#include "platform/usb_hardware_ids.h"

namespace kx7::emu {

namespace {

// The Birch USB controller's own USB id, which the USB scan sees beside its drivers.
constexpr const char* kBirchUsbHardwareId = "USB\\VID_0596&PID_0001&REV_0100";

}  // namespace

const std::vector<std::string>& InProcessFamilyNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all = HidFamilyNames();
    for (const std::string& name : DriverFamilyNames()) all.push_back(name);
    return all;
  }();
  return names;
}

namespace {

// The sensor behind a serial controller's touch side.
void UseSensor(EmulatedDevice& device, const SensorConfig& sensor) {
  auto* controller = dynamic_cast<EmulatedController*>(&device);
  if (controller == nullptr) return;
  if (auto* touches = dynamic_cast<TouchReportGenerator*>(controller->Generator())) touches->Sensor().Configure(sensor);
}

}  // namespace

bool IsInProcessFamily(const std::string& family) {
  const std::vector<std::string>& names = InProcessFamilyNames();
  return std::find(names.begin(), names.end(), family) != names.end();
}

std::unique_ptr<EmulationSession> EmulationSession::Start(const std::string& family, const std::string& settings,
                                                          std::string& error, bool& badUsage,
                                                          const EmulationExtras& extras, bool* stateRejected) {
  const std::optional<std::string>& stateFile = extras.stateFile;
  std::unique_ptr<EmulationSession> session(new EmulationSession);
  session->family_ = family;
  session->stateFile_ = stateFile;
  if (!extras.touchFeed.empty()) {
    session->feed_ = std::make_shared<TouchFeed>(extras.touchFeed);
    session->feed_->onProblem = extras.feedProblems;
  }
  // The reader starts once whoever takes the touches is in place.
  const auto startFeed = [&] {
    if (!session->feed_ || session->feed_->Start(&error)) return true;
    badUsage = false;
    return false;
  };
  const std::vector<std::string>& serialFamilies = FamilyNames();
  if (!IsInProcessFamily(family) &&
      std::find(serialFamilies.begin(), serialFamilies.end(), family) == serialFamilies.end()) {
    badUsage = true;
    std::string known;
    for (const std::vector<std::string>* names : {&serialFamilies, &InProcessFamilyNames()})
      for (const std::string& name : *names) known += (known.empty() ? "" : ", ") + name;
    error = "no emulated family \"" + family + "\" (there are " + known + ")";
    return nullptr;
  }
  std::optional<ControllerState> kept;
  if (stateFile) {
    std::string problem;
    kept = ReadStateFile(*stateFile, family, problem);
    if (!problem.empty()) {
      badUsage = false;
      if (stateRejected != nullptr) *stateRejected = true;
      error = "--emulate-state " + *stateFile + ": " + problem;
      return nullptr;
    }
  }
  if (!IsInProcessFamily(family)) {
    if (!startFeed()) return nullptr;
    PersistentController* persistent = nullptr;
    session->pty_ = StartEmulator(family, settings, error, badUsage, session->feed_,
                                  [&](EmulatedDevice& device, std::string&) {
                                    if (extras.sensor) UseSensor(device, *extras.sensor);
                                    persistent = dynamic_cast<PersistentController*>(&device);
                                    if (persistent != nullptr && kept) persistent->LoadState(*kept);
                                    return true;
                                  });
    if (!session->pty_) return nullptr;
    session->persistent_ = persistent;
    return session;
  }
  badUsage = true;
  if (!settings.empty()) {
    error = "\"" + family + "\" is a USB controller and takes no line settings";
    return nullptr;
  }
  if (extras.sensor) {
    error = "--sensor: the sensor model stands behind the serial families only; \"" + family +
            "\" is a USB controller";
    return nullptr;
  }
  badUsage = false;
  std::string hardwareId;
  if (const std::vector<std::string>& hid = HidFamilyNames(); std::find(hid.begin(), hid.end(), family) != hid.end()) {
    session->controller_ = CreateHidController(family);
    if (!session->controller_) {
      error = "this build cannot make a \"" + family + "\" controller";
      return nullptr;
    }
    session->hidBus_ = std::make_unique<kx7::SimulatedHidBackend>();
    // The process id keeps the device locks of two emulating programs apart.
    const std::string path = "/dev/hidraw-emulated-" + std::to_string(::getpid());
    if (!AddToBackend(*session->hidBus_, session->controller_, path)) {
      error = "the emulated HID bus refused the controller";
      return nullptr;
    }
    if (kept) session->controller_->LoadState(*kept);
    session->persistent_ = session->controller_.get();
    hardwareId = session->controller_->HardwareId();
    if (session->feed_) {
      // The HID controller takes its touches under its own lock, as they come.
      EmulatedHidController* controller = session->controller_.get();
      controller->WithTouches([](TouchSource& touches) { touches.SetNone(); });
      session->feed_->onEvents = [controller, feed = session->feed_.get()] {
        for (const FeedEvent& event : feed->Take())
          controller->WithTouches([&](TouchSource& touches) { ApplyFeedEvent(touches, event, 0); });
      };
    }
    if (!startFeed()) return nullptr;
    session->replugger_ = std::make_unique<UsbReplugger>();
    session->replugger_->WatchHid(*session->hidBus_, session->controller_, path, {});
    kx7::SetHidBackend(session->hidBus_.get());
  } else {
    session->drivers_ = std::make_unique<kx7::SimulatedDriverBackend>();
    session->installed_ = InstallDriverEmulation(family, *session->drivers_, nullptr);
    if (!session->installed_) {
      error = "this build cannot make the \"" + family + "\" drivers";
      return nullptr;
    }
    if (session->installed_->birchUsb) {
      if (kept) session->installed_->birchUsb->LoadState(*kept);
      session->persistent_ = session->installed_->birchUsb.get();
    }
    hardwareId = kBirchUsbHardwareId;
    if (session->feed_ && session->installed_->birchUsb) {
      // Behind the drivers the touches go into the controller's stream as tablet reports.
      BirchUsbController* controller = session->installed_->birchUsb.get();
      session->feed_->onEvents = [controller, feed = session->feed_.get(), last = ScreenPoint{}]() mutable {
        for (const FeedEvent& event : feed->Take()) {
          const bool touching = event.kind != FeedEvent::Kind::kUp;
          if (touching) last = ScreenPoint{event.a, event.b};
          Bytes report;
          AppendTablet(report, TabletStatus{touching, false, false}, static_cast<int>(std::lround(last.x * 16383 / 2047)),
                       static_cast<int>(std::lround((2047 - last.y) * 16383 / 2047)));
          controller->QueueStreamBytes(report);
        }
      };
    }
    if (!startFeed()) return nullptr;
    session->replugger_ = std::make_unique<UsbReplugger>();
    session->replugger_->WatchBirchUsb(*session->drivers_, *session->installed_, {});
    kx7::SetDriverBackend(session->drivers_.get());
  }
  // While the controller is off the bus after a restart, the USB scan does not see it either.
  UsbReplugger* replugger = session->replugger_.get();
  kx7::SetEmulatedUsbHardwareIds([hardwareId, replugger] {
    if (!replugger->AllOnBus()) return std::vector<std::string>{};
    return std::vector<std::string>{hardwareId};
  });
  replugger->StartThread();
  return session;
}

bool EmulationSession::SaveState(std::string& error) {
  saved_ = true;
  if (!stateFile_ || persistent_ == nullptr) return true;
  // A serial controller's thread stops before its state is taken.
  if (pty_) pty_->Stop();
  ControllerState state;
  state.family = family_;
  persistent_->SaveState(state);
  if (WriteStateFile(*stateFile_, state, error)) return true;
  error = "--emulate-state " + *stateFile_ + ": " + error;
  return false;
}

EmulationSession::~EmulationSession() {
  if (replugger_) replugger_->StopThread();
  std::string error;
  if (!saved_ && !SaveState(error)) std::fprintf(stderr, "%s\n", error.c_str());
  if (hidBus_ || drivers_) kx7::SetEmulatedUsbHardwareIds({});
  if (hidBus_) kx7::SetHidBackend(nullptr);
  if (drivers_) kx7::SetDriverBackend(nullptr);
}

std::string EmulationSession::SerialPath() const { return pty_ ? pty_->SlavePath() : std::string(); }

}  // namespace kx7::emu
