// The behaviour of an open MIDI input handle as the Windows documentation describes it:
// system-exclusive bytes fill the front queued buffer, which goes back to the program (done,
// out of the queue) when it is full or the message's F7 arrives; midiInReset hands back every
// queued buffer and returns when that is finished; midiInStop hands back only a partly filled
// one; midiInClose and midiInUnprepareHeader refuse while buffers are queued. Every callback
// runs on the handle's service thread.

#include "input_handle.h"

#include <windows.h>
// mmsystem.h needs the types of windows.h first.
#include <mmsystem.h>

#include <utility>

#include "protocol.h"

namespace winmm_standin {

namespace {

thread_local InputHandle* t_delivering = nullptr;  // the handle whose procedure runs here

/// The input procedure's type as documented (mmsystem.h types it for driver callbacks).
using MidiInProc = void(CALLBACK*)(HMIDIIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

MIDIHDR* as_header(void* header) { return static_cast<MIDIHDR*>(header); }

/// The length of a short message with `status`; 0 for F0 and F7, which are no short messages.
std::size_t short_length(std::uint8_t status) {
  if (status < 0xC0 || (status >= 0xE0 && status < 0xF0) || status == 0xF2) {
    return 3;
  }
  if (status < 0xE0 || status == 0xF1 || status == 0xF3) {
    return 2;
  }
  return status == 0xF0 || status == 0xF7 ? 0 : 1;
}

std::string message_name(unsigned message) {
  switch (message) {
    case MIM_OPEN:
      return "MIM_OPEN";
    case MIM_CLOSE:
      return "MIM_CLOSE";
    case MIM_DATA:
      return "MIM_DATA";
    case MIM_LONGDATA:
      return "MIM_LONGDATA";
    case MIM_LONGERROR:
      return "MIM_LONGERROR";
    default:
      return std::to_string(message);
  }
}

}  // namespace

InputHandle::InputHandle(unsigned id, std::uintptr_t value, std::uintptr_t procedure,
                         std::uintptr_t instance, LineSocket data)
    : m_id(id),
      m_value(value),
      m_procedure(procedure),
      m_instance(instance),
      m_data(std::move(data)) {}

void InputHandle::open() {
  m_service = std::thread([this] { service_loop(); });
  // Set before the service thread gets any work, which reaches it through m_lock.
  m_service_id = m_service.get_id();
  m_reader = std::thread([this] { reader_loop(); });
  run_on_service([this] {
    record("MIM_OPEN");
    call_procedure(MIM_OPEN, 0, 0);
  });
}

void InputHandle::service_loop() {
  while (!m_quit) {
    Work work;
    {
      std::unique_lock lock(m_lock);
      m_work_ready.wait(lock, [this] { return !m_work.empty(); });
      work = std::move(m_work.front());
      m_work.pop_front();
    }
    if (work.task) {
      work.task();
      if (work.done != nullptr) {
        work.done->set_value();
      }
    } else {
      play(work.bytes);
    }
  }
}

void InputHandle::reader_loop() {
  while (const auto line = m_data.read_line()) {
    if (*line == "gone classic") {
      // The classic stack tells the program through its input procedure, on the service thread;
      // the handle stays valid until midiInClose.
      std::lock_guard lock(m_lock);
      m_work.push_back(Work{.bytes = {},
                            .task =
                                [this] {
                                  record("MIM_CLOSE (device removed)");
                                  m_removal_closed = true;
                                  call_procedure(MIM_CLOSE, 0, 0);
                                },
                            .done = nullptr});
      m_work_ready.notify_one();
      continue;
    }
    if (*line == "gone services") {
      m_silenced = true;
      continue;
    }
    if (!line->starts_with("bytes ")) {
      continue;
    }
    if (auto bytes = bytes_from_hex(std::string_view(*line).substr(6))) {
      std::lock_guard lock(m_lock);
      m_work.push_back(Work{.bytes = std::move(*bytes), .task = {}, .done = nullptr});
      m_work_ready.notify_one();
    }
  }
}

void InputHandle::run_on_service(const std::function<void()>& task) {
  // A call from inside the input procedure is already on the service thread.
  if (std::this_thread::get_id() == m_service_id) {
    task();
    return;
  }
  std::promise<void> done;
  {
    std::lock_guard lock(m_lock);
    m_work.push_back(Work{.bytes = {}, .task = task, .done = &done});
    m_work_ready.notify_one();
  }
  done.get_future().wait();
}

void InputHandle::play(const std::vector<std::uint8_t>& bytes) {
  bool started = false;
  {
    std::lock_guard lock(m_lock);
    started = m_started;
  }
  // Recording may wait for the controller, which may be waiting for the reader thread, which
  // needs the lock: never record with it held.
  if (!started) {
    record("dropped " + std::to_string(bytes.size()) + " bytes (input not started)");
    return;
  }
  m_lost = 0;
  for (const std::uint8_t byte : bytes) {
    take_byte(byte);
  }
  record("played " + std::to_string(bytes.size()) + " bytes");
  if (m_lost != 0) {
    record("lost " + std::to_string(m_lost) + " system-exclusive bytes (no buffer queued)");
  }
}

void InputHandle::take_byte(std::uint8_t byte) {
  if (byte >= 0xF8) {
    // Real-time messages may come between any two bytes, inside a system-exclusive one too.
    deliver_short({byte});
    return;
  }
  if (m_in_sysex) {
    if (byte < 0x80 || byte == 0xF7) {
      take_sysex_byte(byte);
      return;
    }
    // A status byte cuts the message short: its buffer goes back as an error.
    m_in_sysex = false;
    return_front(MIM_LONGERROR, true);
  }
  if (byte == 0xF0) {
    m_in_sysex = true;
    m_running_status = 0;
    m_short.clear();
    take_sysex_byte(byte);
    return;
  }
  if (byte >= 0x80) {
    m_running_status = byte < 0xF0 ? byte : 0;
    m_short.assign(1, byte);
  } else if (m_short.empty()) {
    // Running status: the driver hands every message over with its status byte.
    if (m_running_status == 0) {
      record("dropped a data byte without status");
      return;
    }
    m_short.assign({m_running_status, byte});
  } else {
    m_short.push_back(byte);
  }
  const std::size_t length = short_length(m_short.front());
  if (length == 0) {
    record("dropped an F7 outside a system-exclusive message");
    m_short.clear();
  } else if (m_short.size() == length) {
    deliver_short(m_short);
    m_short.clear();
  }
}

void InputHandle::take_sysex_byte(std::uint8_t byte) {
  bool full = false;
  {
    std::lock_guard lock(m_lock);
    if (m_queue.empty()) {
      ++m_lost;
    } else {
      MIDIHDR* header = as_header(m_queue.front());
      header->lpData[header->dwBytesRecorded++] = static_cast<char>(byte);
      full = header->dwBytesRecorded == header->dwBufferLength;
    }
  }
  if (byte == 0xF7) {
    m_in_sysex = false;
    return_front(MIM_LONGDATA, true);
  } else if (full) {
    return_front(MIM_LONGDATA, true);
  }
}

void InputHandle::deliver_short(const std::vector<std::uint8_t>& message) {
  DWORD packed = 0;
  std::string text = "MIM_DATA";
  for (std::size_t i = 0; i < message.size(); ++i) {
    packed |= static_cast<DWORD>(message[i]) << (8 * i);
    text += " ";
    append_hex(text, message[i], 2);
  }
  const std::uint32_t time = milliseconds_since_start();
  record(text + " at " + std::to_string(time) + " ms");
  call_procedure(MIM_DATA, packed, time);
}

bool InputHandle::return_front(unsigned message, bool only_filled, const char* cause) {
  MIDIHDR* header = nullptr;
  std::string name;
  {
    std::lock_guard lock(m_lock);
    if (m_queue.empty()) {
      return false;
    }
    header = as_header(m_queue.front());
    if (only_filled && header->dwBytesRecorded == 0) {
      return false;
    }
    m_queue.pop_front();
    header->dwFlags = (header->dwFlags & ~MHDR_INQUEUE) | MHDR_DONE;
    name = buffer_name(header);
  }
  std::string text = message_name(message) + " " + name + " with " +
                     std::to_string(header->dwBytesRecorded) + " bytes";
  if (cause != nullptr) {
    text.append(" (from ").append(cause).append(")");
  }
  record(text);
  call_procedure(message, reinterpret_cast<std::uintptr_t>(header), milliseconds_since_start());
  return true;
}

void InputHandle::call_procedure(unsigned message, std::uintptr_t param1, std::uintptr_t param2) {
  if (m_close_returned.load()) {
    record("callback after midiInClose returned: " + message_name(message));
  }
  // A handle of the MIDI Services whose device is gone calls nothing any more.
  if (m_procedure == 0 || m_silenced.load()) {
    return;
  }
  // The procedure may call back into the stand-in, which may call it again (a stop from inside
  // the procedure hands a buffer back on this thread).
  InputHandle* const outer = std::exchange(t_delivering, this);
  reinterpret_cast<MidiInProc>(m_procedure)(reinterpret_cast<HMIDIIN>(m_value), message, m_instance,
                                            param1, param2);
  t_delivering = outer;
}

void InputHandle::note_delivery() {
  InputHandle* handle = t_delivering;
  if (handle == nullptr) {
    ControllerLink::get().record(0, "delivery outside an input procedure");
    return;
  }
  const char* busy = handle->m_busy.load();
  handle->record(busy == nullptr ? std::string("delivery")
                                 : std::string("delivery during ") + busy);
}

unsigned InputHandle::injected(std::string_view function) {
  return ControllerLink::get()
      .request("fault " + std::to_string(m_id) + " " + std::string(function))
      .code;
}

void InputHandle::record(std::string_view text) { ControllerLink::get().record(m_id, text); }

void InputHandle::record_call(std::string_view function, std::string_view what, unsigned result,
                              std::string_view after) {
  std::string text(function);
  if (!what.empty()) {
    text.append(" ").append(what);
  }
  text.append(" → ").append(result_name(result));
  if (!after.empty()) {
    text.append(" (").append(after).append(")");
  }
  // A call made while a reset, stop or close is under way: from the input procedure, which
  // those calls invoke, or from another thread.
  if (const char* busy = m_busy.load(); busy != nullptr && function != busy) {
    text.append(" during ").append(busy);
  }
  record(text);
}

std::string InputHandle::buffer_name(const void* header) {
  const auto [entry, added] = m_numbers.try_emplace(header, m_numbers.size());
  return "buffer " + std::to_string(entry->second);
}

std::uint32_t InputHandle::milliseconds_since_start() {
  std::lock_guard lock(m_lock);
  const auto elapsed = std::chrono::steady_clock::now() - m_start_time;
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

MIDIHDR* InputHandle::checked_header(void* pointer, unsigned size, std::string& name) {
  MIDIHDR* header = as_header(pointer);
  if (header == nullptr || size < sizeof(MIDIHDR)) {
    return nullptr;
  }
  std::lock_guard lock(m_lock);
  name = buffer_name(header);
  return header;
}

unsigned InputHandle::prepare(void* pointer, unsigned size) {
  std::string name;
  MIDIHDR* header = checked_header(pointer, size, name);
  unsigned result = MMSYSERR_NOERROR;
  if (header == nullptr || header->lpData == nullptr || header->dwBufferLength == 0) {
    result = MMSYSERR_INVALPARAM;
  } else if ((header->dwFlags & MHDR_PREPARED) == 0) {
    result = injected("midiInPrepareHeader");
    if (result == MMSYSERR_NOERROR) {
      header->dwFlags |= MHDR_PREPARED;
    }
  }
  record_call("midiInPrepareHeader", name, result);
  return result;
}

unsigned InputHandle::unprepare(void* pointer, unsigned size) {
  std::string name;
  MIDIHDR* header = checked_header(pointer, size, name);
  unsigned result = MMSYSERR_NOERROR;
  if (header == nullptr) {
    result = MMSYSERR_INVALPARAM;
  } else if ((header->dwFlags & MHDR_INQUEUE) != 0) {
    result = MIDIERR_STILLPLAYING;
  } else if ((header->dwFlags & MHDR_PREPARED) != 0) {
    // Unpreparing a buffer that is not prepared has no effect and succeeds.
    result = injected("midiInUnprepareHeader");
    if (result == MMSYSERR_NOERROR) {
      header->dwFlags &= ~MHDR_PREPARED;
    }
  }
  record_call("midiInUnprepareHeader", name, result);
  return result;
}

unsigned InputHandle::add_buffer(void* pointer, unsigned size) {
  std::string name;
  MIDIHDR* header = checked_header(pointer, size, name);
  unsigned result = MMSYSERR_NOERROR;
  if (header == nullptr) {
    result = MMSYSERR_INVALPARAM;
  } else if ((header->dwFlags & MHDR_PREPARED) == 0) {
    result = MIDIERR_UNPREPARED;
  } else if ((header->dwFlags & MHDR_INQUEUE) != 0) {
    result = MIDIERR_STILLPLAYING;
  } else {
    result = injected("midiInAddBuffer");
  }
  std::size_t queued = 0;
  {
    std::lock_guard lock(m_lock);
    if (result == MMSYSERR_NOERROR) {
      header->dwFlags = (header->dwFlags & ~MHDR_DONE) | MHDR_INQUEUE;
      header->dwBytesRecorded = 0;
      m_queue.push_back(header);
    }
    queued = m_queue.size();
  }
  record_call("midiInAddBuffer", name, result, std::to_string(queued) + " queued");
  return result;
}

unsigned InputHandle::start() {
  const unsigned result = injected("midiInStart");
  if (result == MMSYSERR_NOERROR) {
    std::lock_guard lock(m_lock);
    // Starting a started handle has no effect; a new start counts time from zero.
    if (!m_started) {
      m_started = true;
      m_start_time = std::chrono::steady_clock::now();
    }
  }
  record_call("midiInStart", {}, result);
  return result;
}

unsigned InputHandle::stop() {
  unsigned result = injected("midiInStop");
  std::size_t returned = 0;
  if (result == MMSYSERR_NOERROR) {
    m_busy = "midiInStop";
    run_on_service([this, &returned] {
      {
        std::lock_guard lock(m_lock);
        m_started = false;
      }
      m_in_sysex = false;
      m_short.clear();
      // Only the buffer being filled goes back; empty ones stay queued and not done.
      returned = return_front(MIM_LONGDATA, true, "midiInStop") ? 1 : 0;
    });
    m_busy = nullptr;
  }
  record_call("midiInStop", {}, result, "returned " + std::to_string(returned) + " buffers");
  return result;
}

unsigned InputHandle::reset() {
  unsigned result = injected("midiInReset");
  std::size_t returned = 0;
  if (result == MMSYSERR_NOERROR) {
    m_busy = "midiInReset";
    run_on_service([this, &returned] {
      std::size_t count = 0;
      {
        std::lock_guard lock(m_lock);
        m_started = false;
        count = m_queue.size();
      }
      m_in_sysex = false;
      m_short.clear();
      m_running_status = 0;
      // The buffers queued when the reset began; one that the procedure queues again meanwhile
      // stays queued, and midiInClose then refuses.
      for (std::size_t i = 0; i < count; ++i) {
        returned += return_front(MIM_LONGDATA, false, "midiInReset") ? 1 : 0;
      }
    });
    m_busy = nullptr;
  }
  record_call("midiInReset", {}, result, "returned " + std::to_string(returned) + " buffers");
  return result;
}

unsigned InputHandle::close() {
  std::size_t queued = 0;
  {
    std::lock_guard lock(m_lock);
    queued = m_queue.size();
  }
  // A silent handle closes whatever is queued; its buffers are never handed back.
  const bool silent = m_silenced.load();
  const unsigned result =
      silent ? MMSYSERR_NOERROR : (queued != 0 ? MIDIERR_STILLPLAYING : injected("midiInClose"));
  if (result != MMSYSERR_NOERROR) {
    record_call("midiInClose", {}, result, std::to_string(queued) + " queued");
    m_close_returned = true;
    return result;
  }
  if (silent) {
    record("midiInClose of a silent handle (" + std::to_string(queued) + " queued)");
  }
  m_busy = "midiInClose";
  run_on_service([this, silent] {
    // One MIM_CLOSE for a handle, and none from a silent one: a device that went on the classic
    // stack has sent it already.
    if (!silent && !m_removal_closed) {
      record("MIM_CLOSE");
      call_procedure(MIM_CLOSE, 0, 0);
    }
    m_quit = true;
  });
  m_closed = true;
  if (std::this_thread::get_id() != m_service_id) {
    m_service.join();
  } else {
    m_service.detach();
  }
  m_data.shut_down();
  m_reader.join();
  m_busy = nullptr;
  // The controller records the close and frees the device for the next midiInOpen.
  (void)ControllerLink::get().request("closed " + std::to_string(m_id));
  m_close_returned = true;
  return result;
}

}  // namespace winmm_standin
