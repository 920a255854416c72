#pragma once
// One open MIDI input handle of the stand-in: its queue of system-exclusive buffers, its service
// thread (the only thread that calls the program's input procedure, as the MIDI service of
// Windows does) and the reader thread of its data connection, which hands the device's bytes
// to the service thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "controller_link.h"

struct midihdr_tag;  // MIDIHDR of mmsystem.h

namespace winmm_standin {

/// The calls of the WinMM functions on one handle, with the documented behaviour. Headers are
/// MIDIHDR records of the program, passed as untyped pointers to keep windows.h out of here.
/// Every member may be called from any thread, the input procedure's included.
class InputHandle {
 public:
  /// `value` is the HMIDIIN the program sees; `procedure` the input procedure (0 for none) and
  /// `instance` its instance data, both as midiInOpen received them.
  InputHandle(unsigned id, std::uintptr_t value, std::uintptr_t procedure, std::uintptr_t instance,
              LineSocket data);
  InputHandle(const InputHandle&) = delete;
  InputHandle& operator=(const InputHandle&) = delete;

  /// Starts the threads and delivers MIM_OPEN on the service thread; returns when it has been.
  void open();

  [[nodiscard]] unsigned prepare(void* header, unsigned size);
  [[nodiscard]] unsigned unprepare(void* header, unsigned size);
  [[nodiscard]] unsigned add_buffer(void* header, unsigned size);
  [[nodiscard]] unsigned start();
  [[nodiscard]] unsigned stop();
  [[nodiscard]] unsigned reset();
  [[nodiscard]] unsigned close();

  /// True once midiInClose has succeeded: the handle is invalid for every call from then on.
  [[nodiscard]] bool closed() const { return m_closed.load(); }
  /// True once the device went away under the MIDI Services: the handle is silent and every call
  /// but midiInClose fails with MMSYSERR_NODRIVER.
  [[nodiscard]] bool silenced() const { return m_silenced.load(); }
  [[nodiscard]] unsigned id() const { return m_id; }

  /// Records a delivery that the program reports from inside its input procedure, with the
  /// close call under way if there is one. Service thread (inside the procedure).
  static void note_delivery();

 private:
  struct Work {
    std::vector<std::uint8_t> bytes;     // bytes the device played, when `task` is empty
    std::function<void()> task;          // a call's work on the service thread
    std::promise<void>* done = nullptr;  // set when the task is done; none: nobody waits
  };

  void service_loop();
  void reader_loop();
  void run_on_service(const std::function<void()>& task);
  void play(const std::vector<std::uint8_t>& bytes);
  void take_byte(std::uint8_t byte);
  void take_sysex_byte(std::uint8_t byte);
  void deliver_short(const std::vector<std::uint8_t>& message);
  /// Hands the front buffer back (done, out of the queue); `only_filled` leaves an empty one.
  /// `cause` names the call that hands it back, if it is not the byte stream.
  bool return_front(unsigned message, bool only_filled, const char* cause = nullptr);
  void call_procedure(unsigned message, std::uintptr_t param1, std::uintptr_t param2);
  [[nodiscard]] unsigned injected(std::string_view function);
  void record(std::string_view text);
  void record_call(std::string_view function, std::string_view what, unsigned result,
                   std::string_view after = {});
  [[nodiscard]] std::string buffer_name(const void* header);  // with m_lock held
  /// The header of a call on a buffer, and its name for the record; nothing for a null
  /// pointer or a size too small.
  [[nodiscard]] midihdr_tag* checked_header(void* pointer, unsigned size, std::string& name);
  [[nodiscard]] std::uint32_t milliseconds_since_start();

  const unsigned m_id;
  const std::uintptr_t m_value;
  const std::uintptr_t m_procedure;
  const std::uintptr_t m_instance;
  LineSocket m_data;  // read by the reader thread; shut down by close
  std::thread m_service;
  std::thread m_reader;
  std::thread::id m_service_id;

  std::mutex m_lock;  // guards the fields up to m_start_time
  std::condition_variable m_work_ready;
  std::deque<Work> m_work;
  std::deque<void*> m_queue;                  // queued buffers, front = the one being filled
  std::map<const void*, unsigned> m_numbers;  // buffer numbers in order of first sight
  bool m_started = false;
  std::chrono::steady_clock::time_point m_start_time = std::chrono::steady_clock::now();

  // Service thread only: the state of the byte stream.
  bool m_in_sysex = false;
  std::uint8_t m_running_status = 0;
  std::vector<std::uint8_t> m_short;  // the short message being assembled
  std::size_t m_lost = 0;             // system-exclusive bytes without a buffer, this chunk
  bool m_quit = false;
  bool m_removal_closed = false;  // MIM_CLOSE went out when the device went (classic stack)

  std::atomic<bool> m_closed{false};
  std::atomic<bool> m_silenced{false};
  std::atomic<bool> m_close_returned{false};
  std::atomic<const char*> m_busy{nullptr};  // the reset, stop or close call under way
};

}  // namespace winmm_standin
