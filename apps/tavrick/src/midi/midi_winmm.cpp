// MIDI input on Windows through the Windows Multimedia functions. A port is known by its product
// name and its device interface path; device numbers shift when devices come and go, so the
// number is looked up again from that identity whenever a port is opened.

#include <windows.h>
// mmsystem.h needs the types of windows.h first.
#include <mmsystem.h>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "console/console_output.h"
#include "desktop/text_convert.h"
#include "midi/midi_port.h"
#include "midi/short_message.h"

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

class WinmmConnection final : public MidiConnection::Impl {
 public:
  explicit WinmmConnection(MidiCallback callback) : m_callback(std::move(callback)) {}

  /// The close sequence, also after an open that failed half-way.
  ~WinmmConnection() override {
    std::lock_guard lock(m_lock);
    if (m_handle == nullptr) {
      return;
    }
    m_closing = true;
    midiInReset(m_handle);
    midiInStop(m_handle);
    for (const auto& buffer : m_buffers) {
      if (buffer && buffer->prepared &&
          midiInUnprepareHeader(m_handle, &buffer->header, sizeof(MIDIHDR)) != MMSYSERR_NOERROR) {
        write_text(Stream::err,
                   "Warning: Ignoring error shutting down Windows MM input port "
                   "(UnprepareHeader).\n");
      }
    }
    midiInClose(m_handle);
  }

  std::expected<void, std::string> open(UINT number) {
    const MMRESULT opened =
        midiInOpen(&m_handle, number, reinterpret_cast<DWORD_PTR>(&input_procedure),
                   reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
    if (opened != MMSYSERR_NOERROR) {
      m_handle = nullptr;
      if (opened == MMSYSERR_ALLOCATED) {
        return std::unexpected("could not create Windows MM MIDI input port (MMSYSERR_ALLOCATED)");
      }
      return std::unexpected("could not create Windows MM MIDI input port");
    }
    for (std::size_t index = 0; index < k_buffer_count; ++index) {
      auto& buffer = m_buffers[index];
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
  static void CALLBACK input_procedure(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                       DWORD_PTR) {
    reinterpret_cast<WinmmConnection*>(instance)->handle_input(message, param1);
  }

  void handle_input(UINT message, DWORD_PTR param1) {
    if (message == MIM_DATA) {
      // The time stamp (param2) is of no use to the bridge.
      if (const auto bytes = unpack_short_message(static_cast<std::uint32_t>(param1))) {
        m_callback(bytes->view());
      }
      return;
    }
    if (message != MIM_LONGDATA && message != MIM_LONGERROR) {
      return;
    }
    auto* header = reinterpret_cast<MIDIHDR*>(param1);
    if (message == MIM_LONGDATA) {
      const auto* data = reinterpret_cast<const std::uint8_t*>(header->lpData);
      m_message.insert(m_message.end(), data, data + header->dwBytesRecorded);
    }
    // WinMM hands back empty buffers while closing; re-queueing them then would never end.
    if (header->dwBytesRecorded == 0) {
      return;
    }
    {
      std::lock_guard lock(m_lock);
      if (!m_closing && midiInAddBuffer(m_handle, header, sizeof(MIDIHDR)) != MMSYSERR_NOERROR) {
        write_text(Stream::err,
                   "Error in handle_input: Requeuing WinMM input sysex buffer failed.\n");
      }
    }
    m_callback(m_message);
    m_message.clear();
  }

  MidiCallback m_callback;
  HMIDIIN m_handle = nullptr;
  std::array<std::unique_ptr<SysexBuffer>, k_buffer_count> m_buffers;
  std::vector<std::uint8_t> m_message;  // the message being assembled; input procedure only
  // Re-entrant: midiInReset may call the input procedure on the closing thread itself.
  std::recursive_mutex m_lock;  // serialises re-queueing with closing; guards m_closing
  bool m_closing = false;
};

class WinmmBackend final : public MidiBackend {
 public:
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
    auto connection = std::make_unique<WinmmConnection>(std::move(callback));
    if (auto opened = connection->open(*number); !opened) {
      return std::unexpected(std::move(opened.error()));
    }
    return MidiConnection(std::move(connection));
  }
};

}  // namespace

MidiBackend& system_midi_backend() {
  static WinmmBackend backend;
  return backend;
}

}  // namespace tavrick
