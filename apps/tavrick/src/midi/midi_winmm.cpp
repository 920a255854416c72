// MIDI input on Windows through the Windows Multimedia functions. A port is known by its product
// name and its device interface path; device numbers shift when devices come and go, so the
// number is looked up again from that identity whenever a port is opened.
//
// A port whose device goes away says so in one of three ways, depending on the MIDI stack: the
// classic one calls the input procedure with MIM_CLOSE and keeps the handle valid until
// midiInClose; the Windows MIDI Services leave the handle silent and answer every call but the
// close with MMSYSERR_NODRIVER; and a notice of the interface's removal names its path.

#include <windows.h>
// mmsystem.h needs the types of windows.h first.
#include <mmsystem.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "desktop/console_output.h"
#include "desktop/text_convert.h"
#include "midi/loss_signal.h"
#include "midi/midi_port.h"
#include "midi/open_ports.h"
#include "midi/short_message.h"
#include "midi/system_notices.h"

namespace tavrick {

namespace {

// Driver messages of mmddk.h, which the MinGW headers do not all carry.
constexpr UINT k_query_device_interface_size = 0x80D;
constexpr UINT k_query_device_interface = 0x80C;

constexpr std::size_t k_buffer_count = 4;
constexpr DWORD k_buffer_size = 1024;

static_assert(sizeof(MIDIINCAPSW) == 76);
static_assert(sizeof(MIDIHDR) == 112);

struct Device {
  UINT number;
  MidiPort port;
};

/// The input devices whose capabilities and interface path can be read, in device order.
std::vector<Device> list_devices() {
  std::vector<Device> devices;
  const UINT count = midiInGetNumDevs();
  for (UINT number = 0; number < count; ++number) {
    MIDIINCAPSW caps{};
    if (midiInGetDevCapsW(number, &caps, sizeof(caps)) != MMSYSERR_NOERROR) {
      continue;
    }
    std::u16string name;
    for (const wchar_t unit : caps.szPname) {
      if (unit == L'\0') {
        break;
      }
      name.push_back(static_cast<char16_t>(unit));
    }
    // Device numbers double as handles for these two driver queries.
    const auto device = reinterpret_cast<HMIDIIN>(static_cast<UINT_PTR>(number));
    DWORD size = 0;
    if (midiInMessage(device, k_query_device_interface_size, reinterpret_cast<DWORD_PTR>(&size),
                      0) != MMSYSERR_NOERROR) {
      continue;
    }
    std::u16string path(size / 2, u'\0');
    if (midiInMessage(device, k_query_device_interface, reinterpret_cast<DWORD_PTR>(path.data()),
                      size) != MMSYSERR_NOERROR) {
      continue;
    }
    devices.push_back(Device{
        number,
        MidiPort{.name = utf8_from_utf16(name), .interface_path = std::move(path), .api = 0}});
  }
  return devices;
}

/// One system-exclusive input buffer and its header; the system holds the header's address
/// while the buffer is queued, so it never moves.
struct SysexBuffer {
  MIDIHDR header{};
  std::array<char, k_buffer_size> data{};
  bool prepared = false;
};

/// What the input procedure reaches through its instance data: the callback, the message being
/// assembled and the buffers. The connection owns it; when midiInClose fails it is left
/// allocated on purpose, because the system may still own queued buffers and still call the
/// procedure with this address.
struct InputState {
  InputState(MidiCallback callback_in, std::shared_ptr<LossSignal> loss_in)
      : callback(std::move(callback_in)), loss(std::move(loss_in)) {}

  /// Called by the MIDI service on its own thread, one call at a time for this connection.
  void handle_input(HMIDIIN handle, UINT kind, DWORD_PTR param1);

  // Set once, with `lock` held, when closing begins. The input procedure reads it before
  // anything else: the reset of the close hands buffers back on the service thread and waits
  // for it, so the procedure must return at once then, without waiting for anything.
  std::atomic<bool> closing{false};
  // Serialises delivery and re-queueing with the start of closing, so that nothing is
  // delivered or queued again once `closing` is set; guards `callback`. Re-entrant: queueing a
  // buffer from the procedure may hand one back on the same thread.
  std::recursive_mutex lock;
  MidiCallback callback;
  std::vector<std::uint8_t> message;  // the message being assembled; input procedure only
  std::array<std::unique_ptr<SysexBuffer>, k_buffer_count> buffers;
  const std::shared_ptr<LossSignal> loss;  // set when the device is known gone
};

void InputState::handle_input(HMIDIIN handle, UINT kind, DWORD_PTR param1) {
  if (closing.load()) {
    return;
  }
  if (kind == MIM_CLOSE) {
    // Not ours (closing is not under way): the device became unavailable.
    loss->report();
    return;
  }
  if (kind == MIM_DATA) {
    // The time stamp (param2) is of no use to the bridge.
    if (const auto bytes = unpack_short_message(static_cast<std::uint32_t>(param1))) {
      std::lock_guard guard(lock);
      if (!closing.load()) {
        callback(bytes->view());
      }
    }
    return;
  }
  if (kind != MIM_LONGDATA && kind != MIM_LONGERROR) {
    return;
  }
  auto* header = reinterpret_cast<MIDIHDR*>(param1);
  if (kind == MIM_LONGDATA) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(header->lpData);
    message.insert(message.end(), data, data + header->dwBytesRecorded);
  }
  // The system hands buffers back empty when it stops without input; queueing them again then
  // would never end.
  if (header->dwBytesRecorded == 0) {
    return;
  }
  std::lock_guard guard(lock);
  if (closing.load()) {
    return;
  }
  if (midiInAddBuffer(handle, header, sizeof(MIDIHDR)) != MMSYSERR_NOERROR) {
    write_text(Stream::err, "Error in handle_input: Requeuing WinMM input sysex buffer failed.\n");
  }
  callback(message);
  message.clear();
}

class WinmmConnection final : public MidiConnection::Impl {
 public:
  WinmmConnection(MidiCallback callback, std::shared_ptr<LossSignal> loss)
      : m_state(std::make_unique<InputState>(std::move(callback), std::move(loss))) {}

  /// The close sequence, also after an open that failed half-way.
  ~WinmmConnection() override {
    if (m_handle == nullptr) {
      return;
    }
    {
      // Waits for a delivery or re-queueing under way; none starts after this.
      std::lock_guard guard(m_state->lock);
      m_state->closing = true;
    }
    // A port whose device is gone answers with errors that say only that.
    const bool lost = m_state->loss->lost();
    // The lock is not held here: the reset waits for the service thread, which may be calling
    // the input procedure.
    midiInReset(m_handle);
    midiInStop(m_handle);
    for (auto& buffer : m_state->buffers) {
      if (!buffer || !buffer->prepared) {
        continue;
      }
      if (midiInUnprepareHeader(m_handle, &buffer->header, sizeof(MIDIHDR)) == MMSYSERR_NOERROR) {
        buffer.reset();
      } else if (!lost) {
        write_text(Stream::err,
                   "Warning: Ignoring error shutting down Windows MM input port "
                   "(UnprepareHeader).\n");
      }
    }
    if (midiInClose(m_handle) != MMSYSERR_NOERROR) {
      // The handle stays open (buffers still queued, or a device that is gone): the system may
      // still write into the remaining buffers and call the procedure with this state, which
      // then returns at once. Both are left allocated on purpose; only the callback, and with
      // it the channel sender, is dropped.
      {
        std::lock_guard guard(m_state->lock);
        m_state->callback = nullptr;
      }
      (void)m_state.release();
      return;
    }
    // A buffer that could not be unprepared may still be the system's (a handle that its
    // service no longer serves closes all the same, with the buffers still queued): it is never
    // freed.
    for (auto& buffer : m_state->buffers) {
      if (buffer && buffer->prepared) {
        (void)buffer.release();
      }
    }
  }

  /// A port whose device is gone, as far as one can tell: known lost, or a handle that answers
  /// that its driver or itself is gone.
  bool alive() override {
    if (m_state->loss->lost()) {
      return false;
    }
    // Starting a started port has no effect and succeeds; it is the cheapest call that still
    // reaches the driver.
    const MMRESULT started = midiInStart(m_handle);
    if (started == MMSYSERR_NODRIVER || started == MMSYSERR_INVALHANDLE) {
      m_state->loss->note();
      return false;
    }
    return true;
  }

  std::expected<void, std::string> open(UINT number) {
    const MMRESULT opened =
        midiInOpen(&m_handle, number, reinterpret_cast<DWORD_PTR>(&input_procedure),
                   reinterpret_cast<DWORD_PTR>(m_state.get()), CALLBACK_FUNCTION);
    if (opened != MMSYSERR_NOERROR) {
      m_handle = nullptr;
      if (opened == MMSYSERR_ALLOCATED) {
        return std::unexpected("could not create Windows MM MIDI input port (MMSYSERR_ALLOCATED)");
      }
      return std::unexpected("could not create Windows MM MIDI input port");
    }
    for (std::size_t index = 0; index < k_buffer_count; ++index) {
      auto& buffer = m_state->buffers[index];
      buffer = std::make_unique<SysexBuffer>();
      buffer->header.lpData = buffer->data.data();
      buffer->header.dwBufferLength = k_buffer_size;
      buffer->header.dwUser = index;
      if (midiInPrepareHeader(m_handle, &buffer->header, sizeof(MIDIHDR)) != MMSYSERR_NOERROR) {
        return std::unexpected("could not initialize Windows MM MIDI input port (PrepareHeader)");
      }
      buffer->prepared = true;
      if (midiInAddBuffer(m_handle, &buffer->header, sizeof(MIDIHDR)) != MMSYSERR_NOERROR) {
        return std::unexpected("could not initialize Windows MM MIDI input port (AddBuffer)");
      }
    }
    if (midiInStart(m_handle) != MMSYSERR_NOERROR) {
      return std::unexpected("could not start Windows MM MIDI input port");
    }
    return {};
  }

 private:
  /// Called by the MIDI service on its own thread, one call at a time for this connection.
  static void CALLBACK input_procedure(HMIDIIN handle, UINT message, DWORD_PTR instance,
                                       DWORD_PTR param1, DWORD_PTR) {
    reinterpret_cast<InputState*>(instance)->handle_input(handle, message, param1);
  }

  std::unique_ptr<InputState> m_state;
  HMIDIIN m_handle = nullptr;
};

class WinmmBackend final : public MidiBackend {
 public:
  void follow_devices(std::shared_ptr<MidiEvents> events) override {
    m_events = events;
    (void)register_system_notices(SystemNoticeHandlers{
        .device =
            [events, open = m_open](InterfaceChange change, std::u16string_view path) {
              if (change == InterfaceChange::removal) {
                open->lose_if([path](const std::u16string& port_path) {
                  return same_interface_path(port_path, path);
                });
              }
              events->device_changed();
            },
        .resumed = [events] { events->resumed(); }});
  }

  std::expected<std::vector<MidiPort>, std::string> list_input_ports() override {
    std::vector<MidiPort> ports;
    for (Device& device : list_devices()) {
      ports.push_back(std::move(device.port));
    }
    return ports;
  }

  std::expected<MidiConnection, std::string> open_port(const MidiPort& port,
                                                       MidiCallback callback) override {
    std::optional<UINT> number;
    for (const Device& device : list_devices()) {
      if (device.port.name == port.name && device.port.interface_path == port.interface_path) {
        number = device.number;
        break;
      }
    }
    if (!number) {
      return std::unexpected("invalid port");
    }
    auto loss = std::make_shared<LossSignal>(m_events);
    auto connection = std::make_unique<WinmmConnection>(std::move(callback), loss);
    if (auto opened = connection->open(*number); !opened) {
      return std::unexpected(std::move(opened.error()));
    }
    m_open->add(port.interface_path, loss);
    return MidiConnection(std::move(connection));
  }

 private:
  std::shared_ptr<MidiEvents> m_events;  // set once, before any port is opened
  // Shared with the notice handler, which may run as long as the process.
  std::shared_ptr<OpenPorts<std::u16string>> m_open = std::make_shared<OpenPorts<std::u16string>>();
};

}  // namespace

MidiBackend& system_midi_backend() {
  static WinmmBackend backend;
  return backend;
}

}  // namespace tavrick
