#pragma once
// Windows' notices of device interfaces that come and go and of resumes from sleep, for the
// WinMM backend. Both registrations are looked up when the program runs: where a system lacks
// them (Windows 7, Wine), no notice comes and the supervisor's own checks find what they would
// have told.

#include <functional>
#include <string_view>

namespace tavrick {

enum class InterfaceChange { arrival, removal };

/// What the notices are handed to, on threads of the system. Both must return at once.
struct SystemNoticeHandlers {
  /// An interface of an audio or MIDI device arrived or went away; `path` is its symbolic link
  /// name (the device interface path).
  std::function<void(InterfaceChange change, std::u16string_view path)> device;
  /// The machine resumed from sleep or hibernation.
  std::function<void()> resumed;
};

/// Which of the registrations the system offered and accepted.
struct SystemNoticeSupport {
  bool device_interfaces = false;
  bool resumes = false;
};

/// Registers `handlers` for the rest of the process; nothing is ever unregistered. Main thread,
/// once.
SystemNoticeSupport register_system_notices(SystemNoticeHandlers handlers);

}  // namespace tavrick
