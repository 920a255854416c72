// The MIDI input functions of winmm.dll that the programs import, in place of the system's. The
// device list, its numbers and who holds which device live in the controller, so that they are
// shared by every process; buffers, callbacks and threads live here, in the process.

#include <windows.h>
// mmsystem.h needs the types of windows.h first.
#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "controller_link.h"
#include "input_handle.h"
#include "protocol.h"

namespace winmm_standin {

namespace {

// Driver messages of mmddk.h, which the MinGW headers do not all carry.
constexpr UINT k_query_device_interface_size = 0x80D;
constexpr UINT k_query_device_interface = 0x80C;

// Handle values lie far above any device number, which midiInMessage and midiInGetDevCaps take
// in the same parameter. They are never reused within a process.
constexpr std::uintptr_t k_handle_base = 0x5EA10000;

// MM_UNMAPPED and MM_PID_UNMAPPED of mmreg.h: no registered maker or product.
constexpr WORD k_unmapped = 0xFFFF;

/// Every handle opened in this process, closed ones included, so that a late call on a closed
/// handle is told apart from a made-up one. Never destroyed.
struct HandleTable {
  std::mutex lock;
  std::map<std::uintptr_t, std::shared_ptr<InputHandle>> handles;
};

HandleTable& table() {
  static auto* handles = new HandleTable();
  return *handles;
}

std::shared_ptr<InputHandle> known_handle(std::uintptr_t value) {
  std::lock_guard lock(table().lock);
  const auto found = table().handles.find(value);
  return found == table().handles.end() ? nullptr : found->second;
}

/// `call` (InputHandle&) → MMRESULT on the open handle `handle`; MMSYSERR_INVALHANDLE, and a
/// line in the record, for an unknown or closed one.
template <class Call>
MMRESULT on_open_handle(HMIDIIN handle, const char* function, Call&& call) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  const auto found = known_handle(value);
  if (!found) {
    std::string text = "call with an unknown handle 0x";
    append_hex(text, static_cast<unsigned>(value), 8);
    ControllerLink::get().record(0, text + ": " + function + " → MMSYSERR_INVALHANDLE");
    return MMSYSERR_INVALHANDLE;
  }
  if (found->closed()) {
    ControllerLink::get().record(
        found->id(), std::string("call on closed handle: ") + function + " → MMSYSERR_INVALHANDLE");
    return MMSYSERR_INVALHANDLE;
  }
  if (found->silenced() && std::string_view(function) != "midiInClose") {
    ControllerLink::get().record(found->id(),
                                 std::string(function) + " → MMSYSERR_NODRIVER (device gone)");
    return MMSYSERR_NODRIVER;
  }
  return call(*found);
}

}  // namespace

}  // namespace winmm_standin

using winmm_standin::ControllerLink;

extern "C" {

UINT WINAPI midiInGetNumDevs() {
  const auto reply = ControllerLink::get().request("count");
  return reply.code == 0 ? static_cast<UINT>(std::stoul(reply.value)) : 0;
}

MMRESULT WINAPI midiInGetDevCapsW(UINT_PTR id, LPMIDIINCAPSW caps, UINT size) {
  if (size == 0) {
    return MMSYSERR_NOERROR;
  }
  if (caps == nullptr) {
    return MMSYSERR_INVALPARAM;
  }
  // The documented alternative: a handle cast to a device identifier.
  const auto handle = winmm_standin::known_handle(id);
  const auto reply = ControllerLink::get().request(handle ? "hcaps " + std::to_string(handle->id())
                                                          : "caps " + std::to_string(id));
  if (reply.code != 0) {
    return reply.code;
  }
  const auto name = winmm_standin::units_from_hex(reply.value).value_or(u"");
  MIDIINCAPSW full{};
  full.wMid = winmm_standin::k_unmapped;
  full.wPid = winmm_standin::k_unmapped;
  full.vDriverVersion = 0x0100;
  // The name is cut to fit the array with its terminating NUL.
  const std::size_t length = std::min<std::size_t>(name.size(), MAXPNAMELEN - 1);
  std::copy_n(name.begin(), length, full.szPname);
  std::memcpy(caps, &full, std::min<std::size_t>(size, sizeof(full)));
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInMessage(HMIDIIN device, UINT message, DWORD_PTR param1, DWORD_PTR param2) {
  const auto id = reinterpret_cast<std::uintptr_t>(device);
  // Driver messages take a device number; a handle is refused.
  if (winmm_standin::known_handle(id)) {
    return MMSYSERR_NOTSUPPORTED;
  }
  const std::string number = std::to_string(id);
  if (message == winmm_standin::k_query_device_interface_size) {
    if (param1 == 0) {
      return MMSYSERR_INVALPARAM;
    }
    const auto reply = ControllerLink::get().request("ifsize " + number);
    if (reply.code == 0) {
      *reinterpret_cast<ULONG*>(param1) = static_cast<ULONG>(std::stoul(reply.value));
    }
    return reply.code;
  }
  if (message == winmm_standin::k_query_device_interface) {
    if (param1 == 0) {
      return MMSYSERR_INVALPARAM;
    }
    const auto reply = ControllerLink::get().request("iface " + number);
    if (reply.code != 0) {
      return reply.code;
    }
    const auto path = winmm_standin::units_from_hex(reply.value).value_or(u"");
    // The path with its terminating NUL must fit the caller's buffer of param2 bytes.
    if (param2 < (path.size() + 1) * sizeof(WCHAR)) {
      return MMSYSERR_INVALPARAM;
    }
    auto* out = reinterpret_cast<WCHAR*>(param1);
    std::copy(path.begin(), path.end(), out);
    out[path.size()] = L'\0';
    return MMSYSERR_NOERROR;
  }
  return MMSYSERR_NOTSUPPORTED;
}

MMRESULT WINAPI midiInOpen(LPHMIDIIN handle, UINT id, DWORD_PTR callback, DWORD_PTR instance,
                           DWORD flags) {
  if (handle == nullptr) {
    return MMSYSERR_INVALPARAM;
  }
  const DWORD kind = flags & CALLBACK_TYPEMASK;
  if (kind != CALLBACK_FUNCTION && kind != CALLBACK_NULL) {
    return MMSYSERR_INVALFLAG;
  }
  const auto reply = ControllerLink::get().request("open " + std::to_string(id));
  if (reply.code != 0) {
    return reply.code;
  }
  const auto number = static_cast<unsigned>(std::stoul(reply.value));
  auto data = winmm_standin::LineSocket::connect_to_controller();
  if (!data || !data->send_line("attach " + std::to_string(number))) {
    return MMSYSERR_NOMEM;
  }
  const std::uintptr_t value = winmm_standin::k_handle_base + number;
  auto opened = std::make_shared<winmm_standin::InputHandle>(
      number, value, kind == CALLBACK_FUNCTION ? callback : 0, instance, std::move(*data));
  {
    std::lock_guard lock(winmm_standin::table().lock);
    winmm_standin::table().handles.emplace(value, opened);
  }
  *handle = reinterpret_cast<HMIDIIN>(value);
  opened->open();
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI midiInPrepareHeader(HMIDIIN handle, LPMIDIHDR header, UINT size) {
  return winmm_standin::on_open_handle(handle, "midiInPrepareHeader",
                                       [&](auto& open) { return open.prepare(header, size); });
}

MMRESULT WINAPI midiInUnprepareHeader(HMIDIIN handle, LPMIDIHDR header, UINT size) {
  return winmm_standin::on_open_handle(handle, "midiInUnprepareHeader",
                                       [&](auto& open) { return open.unprepare(header, size); });
}

MMRESULT WINAPI midiInAddBuffer(HMIDIIN handle, LPMIDIHDR header, UINT size) {
  return winmm_standin::on_open_handle(handle, "midiInAddBuffer",
                                       [&](auto& open) { return open.add_buffer(header, size); });
}

MMRESULT WINAPI midiInStart(HMIDIIN handle) {
  return winmm_standin::on_open_handle(handle, "midiInStart",
                                       [](auto& open) { return open.start(); });
}

MMRESULT WINAPI midiInStop(HMIDIIN handle) {
  return winmm_standin::on_open_handle(handle, "midiInStop",
                                       [](auto& open) { return open.stop(); });
}

MMRESULT WINAPI midiInReset(HMIDIIN handle) {
  return winmm_standin::on_open_handle(handle, "midiInReset",
                                       [](auto& open) { return open.reset(); });
}

MMRESULT WINAPI midiInClose(HMIDIIN handle) {
  return winmm_standin::on_open_handle(handle, "midiInClose",
                                       [](auto& open) { return open.close(); });
}

/// Not a WinMM function: a test program calls it from inside its input procedure to have each
/// delivery recorded, with the reset, stop or close under way at that moment.
void WINAPI winmm_standin_delivery() { winmm_standin::InputHandle::note_delivery(); }

}  // extern "C"
