// CM_Register_Notification (cfgmgr32.dll) and PowerRegisterSuspendResumeNotification
// (powrprof.dll) exist from Windows 8 on; both are found with GetProcAddress.

#include <windows.h>
// cfgmgr32.h needs the types of windows.h first.
#include <cfgmgr32.h>

#include <array>
#include <cstddef>
#include <cwchar>
#include <utility>

#include "midi/system_notices.h"

namespace tavrick {

namespace {

// KSCATEGORY_AUDIO: kernel-streaming audio devices, whose interfaces the classic WinMM MIDI
// ports of a USB device belong to.
constexpr GUID k_audio_interfaces = {
    0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// DEVINTERFACE_MIDI_INPUT: MIDI input ports, those that the Windows MIDI Services publish too.
constexpr GUID k_midi_input_interfaces = {
    0x504BE32C, 0xCCF6, 0x4D2C, {0xB7, 0x3F, 0x6F, 0x8B, 0x37, 0x47, 0xE2, 0x2B}};

using RegisterNotification = CONFIGRET(WINAPI*)(PCM_NOTIFY_FILTER, PVOID, PCM_NOTIFY_CALLBACK,
                                                PHCMNOTIFICATION);

// powerbase.h, which the MinGW headers lack.
constexpr DWORD k_device_notify_callback = 2;  // DEVICE_NOTIFY_CALLBACK
using PowerCallback = ULONG(CALLBACK*)(PVOID context, ULONG type, PVOID setting);
struct SubscribeParameters {  // DEVICE_NOTIFY_SUBSCRIBE_PARAMETERS
  PowerCallback callback;
  PVOID context;
};
using RegisterSuspendResume = DWORD(WINAPI*)(DWORD flags, HANDLE recipient, PHANDLE registration);

/// A function of a system library, or null. The library stays loaded for the process.
template <class Function>
Function system_function(const wchar_t* library, const char* name) {
  HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

/// Called by the system on a thread of its own; hands the notice over and returns.
DWORD CALLBACK on_device_notice(HCMNOTIFICATION, PVOID context, CM_NOTIFY_ACTION action,
                                PCM_NOTIFY_EVENT_DATA data, DWORD size) {
  constexpr std::size_t k_link_offset =
      offsetof(CM_NOTIFY_EVENT_DATA, u.DeviceInterface.SymbolicLink);
  if (data == nullptr || data->FilterType != CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE ||
      size <= k_link_offset ||
      (action != CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL &&
       action != CM_NOTIFY_ACTION_DEVICEINTERFACEREMOVAL)) {
    return ERROR_SUCCESS;
  }
  const wchar_t* link = data->u.DeviceInterface.SymbolicLink;
  const std::size_t length = wcsnlen(link, (size - k_link_offset) / sizeof(wchar_t));
  const auto& handlers = *static_cast<const SystemNoticeHandlers*>(context);
  handlers.device(action == CM_NOTIFY_ACTION_DEVICEINTERFACEREMOVAL ? InterfaceChange::removal
                                                                    : InterfaceChange::arrival,
                  std::u16string_view(reinterpret_cast<const char16_t*>(link), length));
  return ERROR_SUCCESS;
}

/// Called by the system on a thread of its own at each suspend and resume.
ULONG CALLBACK on_power_notice(PVOID context, ULONG type, PVOID) {
  // Every resume brings PBT_APMRESUMEAUTOMATIC; one that a user caused brings
  // PBT_APMRESUMESUSPEND as well.
  if (type == PBT_APMRESUMEAUTOMATIC || type == PBT_APMRESUMESUSPEND) {
    static_cast<const SystemNoticeHandlers*>(context)->resumed();
  }
  return ERROR_SUCCESS;
}

}  // namespace

SystemNoticeSupport register_system_notices(SystemNoticeHandlers handlers) {
  // The callbacks may come as long as the process lives: what they reach lives as long.
  static auto* const registered = new SystemNoticeHandlers(std::move(handlers));
  SystemNoticeSupport support;
  if (const auto register_notification =
          system_function<RegisterNotification>(L"cfgmgr32.dll", "CM_Register_Notification")) {
    support.device_interfaces = true;
    for (const GUID& interfaces : std::array{k_audio_interfaces, k_midi_input_interfaces}) {
      CM_NOTIFY_FILTER filter{};
      filter.cbSize = sizeof(filter);
      filter.FilterType = CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE;
      filter.u.DeviceInterface.ClassGuid = interfaces;
      HCMNOTIFICATION registration = nullptr;
      support.device_interfaces = register_notification(&filter, registered, &on_device_notice,
                                                        &registration) == CR_SUCCESS &&
                                  support.device_interfaces;
    }
  }
  if (const auto register_suspend_resume = system_function<RegisterSuspendResume>(
          L"powrprof.dll", "PowerRegisterSuspendResumeNotification")) {
    // The system keeps the address of the parameters, so they live as long as the process.
    static SubscribeParameters parameters{&on_power_notice, registered};
    HANDLE registration = nullptr;
    support.resumes = register_suspend_resume(k_device_notify_callback, &parameters,
                                              &registration) == ERROR_SUCCESS;
  }
  return support;
}

}  // namespace tavrick
