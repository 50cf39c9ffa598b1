// NotifyDeviceWindows: tells the device-I/O windows that the service goes
// away (mode 1) and that the device is back (mode 2).
#include "driverpatch/driver_patch.h"

namespace qz::driverpatch {

namespace {

constexpr unsigned kMsgServiceGoing = 0x46F;  // WM_USER + 111
constexpr unsigned kWmDeviceChange = 0x0219;
constexpr std::uintptr_t kDbtDeviceArrival = 0x8000;
// A window that does not answer within this is passed over.
constexpr unsigned kSendTimeoutMs = 5000;

// DEV_BROADCAST_OEM, as the receivers read it.
struct DeviceArrivalRecord {
  std::uint32_t size;
  std::uint32_t deviceType;
  std::uint32_t reserved;
  std::uint32_t identifier;
  std::uint32_t suppFunc;
};
const DeviceArrivalRecord kDeviceArrival = {20, 0, 0, 0x3F0, 0};

}  // namespace

port::Status NotifyDeviceWindows(DriverPatch& run, int mode) {
  port::TopWindows& windows = run.os.windows;
  return windows.EnumWindows([&](port::WindowHandle window) {
    if (windows.GetClassNameA(window, 1024) != kDeviceWindowClass) return true;
    if (mode == 1) {
      windows.PostMessageA(window, kMsgServiceGoing, 0, 1);
      return true;
    }
    for (int send = 0; send < 3; ++send) {
      if (send > 0) run.os.system.Sleep(100);
      windows.SendMessageTimeoutA(window, kWmDeviceChange, kDbtDeviceArrival, &kDeviceArrival,
                                  port::kSmtoAbortIfHung, kSendTimeoutMs);
    }
    return true;
  });
}

}  // namespace qz::driverpatch
