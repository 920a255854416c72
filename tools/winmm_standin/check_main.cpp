// winmm_standin_check: holds the WinMM stand-in to the documented behaviour of the functions the
// programs use, calling them directly. The test plugs "Check A" (path \\?\check#a) and
// "Check B" (\\?\check#b) before it starts, and answers each line "step NAME" that this program
// prints: "play1" to "play4" with the bytes below, "unplug" by unplugging Check A, "plug_c" by
// plugging "Check C" (\\?\check#c), "replug_classic" by replugging Check B, "replug_services"
// by switching to the MIDI Services' behaviour and replugging Check B, "replug_later" by
// replugging Check C 300 ms later. Prints "ok" at the end; on the first difference "FAIL: …" on
// standard error and exit code 1.
//   play1: b0 21 01 f0 01 02 03      play2: f0, 70 data bytes, f7
//   play3: f0 05 f7 f8               play4: f0 11 22 f8

#include <windows.h>
// mmsystem.h needs the types of windows.h first.
#include <mmsystem.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT k_query_device_interface_size = 0x80D;
constexpr UINT k_query_device_interface = 0x80C;
constexpr DWORD k_small_buffer = 64;

struct Event {
  HMIDIIN handle;
  UINT message;
  DWORD_PTR param1;
  DWORD_PTR param2;
  DWORD bytes;  // dwBytesRecorded of a returned buffer
  DWORD flags;  // its dwFlags when it came back
  std::thread::id thread;
};

std::mutex g_lock;
std::condition_variable g_arrived;
std::vector<Event> g_events;  // guarded by g_lock

void CALLBACK procedure(HMIDIIN handle, UINT message, DWORD_PTR, DWORD_PTR param1,
                        DWORD_PTR param2) {
  Event event{handle, message, param1, param2, 0, 0, std::this_thread::get_id()};
  if (message == MIM_LONGDATA || message == MIM_LONGERROR) {
    const auto* header = reinterpret_cast<const MIDIHDR*>(param1);
    event.bytes = header->dwBytesRecorded;
    event.flags = header->dwFlags;
  }
  std::lock_guard lock(g_lock);
  g_events.push_back(event);
  g_arrived.notify_all();
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "FAIL: %s\n", what.c_str());
  std::exit(1);
}

void expect(bool holds, const std::string& what) {
  if (!holds) {
    fail(what);
  }
}

void expect_result(MMRESULT result, MMRESULT expected, const std::string& what) {
  expect(result == expected,
         what + ": " + std::to_string(result) + " instead of " + std::to_string(expected));
}

/// Waits until `count` events have come in all (the test's bytes take a moment to arrive).
std::vector<Event> wait_events(std::size_t count, const std::string& what) {
  std::unique_lock lock(g_lock);
  if (!g_arrived.wait_for(lock, std::chrono::seconds(30),
                          [count] { return g_events.size() >= count; })) {
    fail("waiting for " + what);
  }
  return g_events;
}

void step(const char* name) {
  std::printf("step %s\n", name);
  std::fflush(stdout);
}

std::wstring caps_name(UINT_PTR device, MMRESULT& result) {
  MIDIINCAPSW caps{};
  result = midiInGetDevCapsW(device, &caps, sizeof(caps));
  return caps.szPname;
}

void check_listing() {
  expect(midiInGetNumDevs() == 2, "two devices");
  MMRESULT result = 0;
  expect(caps_name(0, result) == L"Check A" && result == MMSYSERR_NOERROR, "caps of 0");
  expect(caps_name(1, result) == L"Check B" && result == MMSYSERR_NOERROR, "caps of 1");
  (void)caps_name(2, result);
  expect_result(result, MMSYSERR_BADDEVICEID, "caps of a number past the list");
  expect_result(midiInGetDevCapsW(0, nullptr, 0), MMSYSERR_NOERROR, "caps of size 0");
  const auto device = reinterpret_cast<HMIDIIN>(UINT_PTR{0});
  ULONG size = 0;
  expect_result(
      midiInMessage(device, k_query_device_interface_size, reinterpret_cast<DWORD_PTR>(&size), 0),
      MMSYSERR_NOERROR, "interface size");
  expect(size == (std::wstring(L"\\\\?\\check#a").size() + 1) * 2, "size with the NUL");
  std::vector<wchar_t> path(size / 2, L'x');
  expect_result(midiInMessage(device, k_query_device_interface,
                              reinterpret_cast<DWORD_PTR>(path.data()), size - 2),
                MMSYSERR_INVALPARAM, "interface into a buffer too small");
  expect_result(midiInMessage(device, k_query_device_interface,
                              reinterpret_cast<DWORD_PTR>(path.data()), size),
                MMSYSERR_NOERROR, "interface");
  expect(std::wstring(path.data()) == L"\\\\?\\check#a", "interface path");
}

/// Waits until `holds` (checked every 10 ms, for up to 30 s).
template <class Condition>
void wait_until(Condition&& holds, const std::string& what) {
  for (int tries = 0; !holds(); ++tries) {
    expect(tries < 3000, what);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

/// The number of the device called `name` now, or -1.
int number_of(const std::wstring& name) {
  const UINT count = midiInGetNumDevs();
  for (UINT number = 0; number < count; ++number) {
    MMRESULT result = 0;
    if (caps_name(number, result) == name && result == MMSYSERR_NOERROR) {
      return static_cast<int>(number);
    }
  }
  return -1;
}

std::wstring path_of(UINT number) {
  const auto device = reinterpret_cast<HMIDIIN>(static_cast<UINT_PTR>(number));
  ULONG size = 0;
  if (midiInMessage(device, k_query_device_interface_size, reinterpret_cast<DWORD_PTR>(&size), 0) !=
      MMSYSERR_NOERROR) {
    return {};
  }
  std::vector<wchar_t> path(size / 2 + 1, L'\0');
  (void)midiInMessage(device, k_query_device_interface, reinterpret_cast<DWORD_PTR>(path.data()),
                      size);
  return path.data();
}

std::size_t event_count() {
  std::lock_guard lock(g_lock);
  return g_events.size();
}

/// A handle on Check B, started, with one buffer queued.
HMIDIIN open_check_b(MIDIHDR& header) {
  HMIDIIN handle = nullptr;
  const int number = number_of(L"Check B");
  expect(number >= 0, "Check B is listed");
  expect_result(midiInOpen(&handle, static_cast<UINT>(number),
                           reinterpret_cast<DWORD_PTR>(&procedure), 0, CALLBACK_FUNCTION),
                MMSYSERR_NOERROR, "open Check B");
  expect_result(midiInPrepareHeader(handle, &header, sizeof(MIDIHDR)), MMSYSERR_NOERROR,
                "prepare for Check B");
  expect_result(midiInAddBuffer(handle, &header, sizeof(MIDIHDR)), MMSYSERR_NOERROR,
                "add for Check B");
  expect_result(midiInStart(handle), MMSYSERR_NOERROR, "start Check B");
  return handle;
}

/// Replugging: the same name and path again at the end of the list, as a new device, and what a
/// handle open on the old one gets on each stack.
void check_replugging() {
  step("plug_c");
  wait_until([] { return midiInGetNumDevs() == 2; }, "Check C does not come");
  std::array<char, k_small_buffer> data{};
  MIDIHDR header{};
  header.lpData = data.data();
  header.dwBufferLength = k_small_buffer;
  HMIDIIN classic = open_check_b(header);
  expect(number_of(L"Check B") == 0, "Check B first");

  // Classic: MIM_CLOSE on the service thread, the handle valid until midiInClose.
  std::size_t before = event_count();
  step("replug_classic");
  auto events = wait_events(before + 1, "MIM_CLOSE of the removed device");
  expect(events.back().message == MIM_CLOSE && events.back().handle == classic,
         "MIM_CLOSE when the device goes");
  expect(events.back().thread != std::this_thread::get_id(), "MIM_CLOSE on the service thread");
  wait_until([] { return number_of(L"Check B") == 1; }, "Check B back at another number");
  expect(path_of(1) == L"\\\\?\\check#b", "the same path again");
  expect_result(midiInStart(classic), MMSYSERR_NOERROR, "the old handle is still valid");
  HMIDIIN second = nullptr;
  expect_result(midiInOpen(&second, 1, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR,
                "the device back is a new one: free to open");
  expect_result(midiInClose(second), MMSYSERR_NOERROR, "close the new one");
  expect_result(midiInReset(classic), MMSYSERR_NOERROR, "reset the old handle");
  expect_result(midiInUnprepareHeader(classic, &header, sizeof(MIDIHDR)), MMSYSERR_NOERROR,
                "unprepare on the old handle");
  before = event_count();
  expect_result(midiInClose(classic), MMSYSERR_NOERROR, "close the old handle");
  events = wait_events(0, "nothing");
  expect(events.size() == before, "no second MIM_CLOSE");

  // MIDI Services: silent, every call but the close fails; the close succeeds with a buffer
  // still queued, which never comes back.
  HMIDIIN services = open_check_b(header);
  before = event_count();
  step("replug_services");
  wait_until([&] { return midiInStart(services) == MMSYSERR_NODRIVER; },
             "the handle does not answer MMSYSERR_NODRIVER");
  expect_result(midiInStop(services), MMSYSERR_NODRIVER, "stop of a silent handle");
  expect_result(midiInReset(services), MMSYSERR_NODRIVER, "reset of a silent handle");
  expect_result(midiInUnprepareHeader(services, &header, sizeof(MIDIHDR)), MMSYSERR_NODRIVER,
                "unprepare on a silent handle");
  expect_result(midiInClose(services), MMSYSERR_NOERROR, "close of a silent handle");
  expect(header.dwFlags == (MHDR_PREPARED | MHDR_INQUEUE), "the buffer never came back");
  events = wait_events(0, "nothing");
  expect(events.size() == before, "a silent handle calls nothing, MIM_CLOSE included");
  expect_result(midiInStart(services), MMSYSERR_INVALHANDLE, "start after close");

  // Back a moment later: gone meanwhile, then at the end of the list.
  step("replug_later");
  wait_until([] { return number_of(L"Check C") < 0; }, "Check C does not go");
  wait_until([] { return number_of(L"Check C") == 1; }, "Check C does not come back");
}

}  // namespace

int main() {
  check_listing();
  HMIDIIN handle = nullptr;
  expect_result(
      midiInOpen(&handle, 0, reinterpret_cast<DWORD_PTR>(&procedure), 0, CALLBACK_FUNCTION),
      MMSYSERR_NOERROR, "open");
  auto events = wait_events(0, "nothing");
  expect(events.size() == 1 && events[0].message == MIM_OPEN, "MIM_OPEN before open returns");
  expect(events[0].thread != std::this_thread::get_id(), "callbacks on a thread of the service");
  HMIDIIN second = nullptr;
  expect_result(midiInOpen(&second, 0, 0, 0, CALLBACK_NULL), MMSYSERR_ALLOCATED, "second open");
  expect_result(midiInMessage(handle, k_query_device_interface_size, 0, 0), MMSYSERR_NOTSUPPORTED,
                "driver query with a handle");
  MMRESULT result = 0;
  expect(caps_name(reinterpret_cast<UINT_PTR>(handle), result) == L"Check A", "caps of a handle");

  std::array<MIDIHDR, 3> headers{};
  std::array<std::array<char, k_small_buffer>, 3> data{};
  for (std::size_t i = 0; i < headers.size(); ++i) {
    headers[i].lpData = data[i].data();
    headers[i].dwBufferLength = k_small_buffer;
  }
  expect_result(midiInAddBuffer(handle, &headers[0], sizeof(MIDIHDR)), MIDIERR_UNPREPARED,
                "add unprepared");
  for (MIDIHDR& header : headers) {
    expect_result(midiInPrepareHeader(handle, &header, sizeof(MIDIHDR)), MMSYSERR_NOERROR,
                  "prepare");
    expect_result(midiInAddBuffer(handle, &header, sizeof(MIDIHDR)), MMSYSERR_NOERROR, "add");
    expect(header.dwFlags == (MHDR_PREPARED | MHDR_INQUEUE), "queued flags");
  }
  expect_result(midiInAddBuffer(handle, &headers[0], sizeof(MIDIHDR)), MIDIERR_STILLPLAYING,
                "add queued");
  expect_result(midiInUnprepareHeader(handle, &headers[0], sizeof(MIDIHDR)), MIDIERR_STILLPLAYING,
                "unprepare queued");
  expect_result(midiInClose(handle), MIDIERR_STILLPLAYING, "close while queued");

  // A short message, then a system-exclusive message still arriving: stop hands back the buffer
  // being filled, with its bytes, before it returns; the empty ones stay queued.
  expect_result(midiInStart(handle), MMSYSERR_NOERROR, "start");
  step("play1");
  events = wait_events(2, "MIM_DATA");
  expect(events[1].message == MIM_DATA && events[1].param1 == 0x0121B0, "short message packed");
  expect(events[1].param2 < 30000, "time in ms since start");
  expect_result(midiInStop(handle), MMSYSERR_NOERROR, "stop");
  events = wait_events(0, "nothing");
  expect(events.size() == 3 && events[2].message == MIM_LONGDATA &&
             events[2].param1 == reinterpret_cast<DWORD_PTR>(&headers[0]) && events[2].bytes == 4,
         "stop hands back the partly filled buffer before it returns");
  expect(events[2].flags == (MHDR_PREPARED | MHDR_DONE), "handed back: done, out of the queue");
  expect(std::string(data[0].data(), 4) == "\xF0\x01\x02\x03", "its bytes");
  expect(headers[1].dwFlags == (MHDR_PREPARED | MHDR_INQUEUE), "empty ones stay queued");

  // A message longer than one buffer: the front one comes back full, the next at the F7.
  expect_result(midiInStart(handle), MMSYSERR_NOERROR, "start again");
  step("play2");
  events = wait_events(5, "two buffers");
  expect(events[3].param1 == reinterpret_cast<DWORD_PTR>(&headers[1]) &&
             events[3].bytes == k_small_buffer && events[4].bytes == 8,
         "full buffer, then the rest");
  // No buffer queued: the message is lost; a real-time byte still arrives.
  step("play3");
  events = wait_events(6, "the clock byte");
  expect(events[5].message == MIM_DATA && events[5].param1 == 0xF8, "only the clock byte");

  // Reset hands back every queued buffer (the partly filled one with its bytes), all done, before
  // it returns; input stops.
  expect_result(midiInAddBuffer(handle, &headers[0], sizeof(MIDIHDR)), MMSYSERR_NOERROR, "re-add");
  expect_result(midiInAddBuffer(handle, &headers[1], sizeof(MIDIHDR)), MMSYSERR_NOERROR, "re-add");
  step("play4");
  wait_events(7, "the clock byte after the start of a message");
  expect_result(midiInReset(handle), MMSYSERR_NOERROR, "reset");
  events = wait_events(0, "nothing");
  expect(events.size() == 9 && events[7].bytes == 3 && events[8].bytes == 0 &&
             events[7].flags == (MHDR_PREPARED | MHDR_DONE) &&
             events[8].flags == (MHDR_PREPARED | MHDR_DONE),
         "reset hands back both buffers before it returns");

  for (MIDIHDR& header : headers) {
    expect_result(midiInUnprepareHeader(handle, &header, sizeof(MIDIHDR)), MMSYSERR_NOERROR,
                  "unprepare");
  }
  expect_result(midiInUnprepareHeader(handle, &headers[0], sizeof(MIDIHDR)), MMSYSERR_NOERROR,
                "unprepare twice");
  expect_result(midiInClose(handle), MMSYSERR_NOERROR, "close");
  events = wait_events(0, "nothing");
  expect(events.size() == 10 && events[9].message == MIM_CLOSE, "MIM_CLOSE before close returns");
  expect_result(midiInStart(handle), MMSYSERR_INVALHANDLE, "start after close");
  expect_result(midiInOpen(&second, 0, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR, "open after close");
  expect_result(midiInClose(second), MMSYSERR_NOERROR, "close the second");

  // Numbers are positions in the list: they shift when a device goes.
  step("unplug");
  for (int tries = 0; midiInGetNumDevs() != 1; ++tries) {
    expect(tries < 3000, "the device does not go");
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  expect(caps_name(0, result) == L"Check B" && result == MMSYSERR_NOERROR, "Check B is now 0");
  (void)caps_name(1, result);
  expect_result(result, MMSYSERR_BADDEVICEID, "number 1 is gone");
  check_replugging();
  std::puts("ok");
  return 0;
}
