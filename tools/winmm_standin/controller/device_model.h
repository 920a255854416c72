#pragma once
// What the controller of the WinMM stand-in knows: the device list (a device's number is its
// position, so numbers shift when devices come and go), which handle holds which device (one at
// a time, across every process), the failures the test has asked for, and the handles' data
// connections. It answers the DLL's requests and writes every event to the record. Used by the
// controller's one thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace winmm_standin {

/// A reply line for the DLL ("ok …" or "err CODE").
using ReplyLine = std::string;

/// What happens to a handle whose device goes away, by MIDI stack.
enum class Stack {
  classic,   ///< the input procedure gets MIM_CLOSE; the handle stays valid until midiInClose
  services,  ///< the Windows MIDI Services: the handle goes silent, every call but midiInClose
             ///< fails with MMSYSERR_NODRIVER
};

class DeviceModel {
 public:
  /// `record` receives every line of the record; `tell` sends a line on a data connection.
  DeviceModel(std::function<void(std::string_view)> record,
              std::function<void(int connection, std::string_view line)> tell);

  // Commands of the test.

  /// Adds a device at the end of the list, known by `key` in later commands; `listings` ≥ 0
  /// makes it vanish again when that many listings (midiInGetNumDevs calls) have seen it.
  /// The error text when the key is already plugged.
  [[nodiscard]] std::optional<std::string> plug(std::string key, std::u16string path,
                                                std::u16string name, int listings = -1);
  /// Takes the device out of the list. A handle open on it stays open and learns of it as the
  /// stack in use says.
  [[nodiscard]] std::optional<std::string> unplug(std::string_view key);
  /// The interface path and name of the plugged device `key`.
  [[nodiscard]] std::optional<std::pair<std::u16string, std::u16string>> identity(
      std::string_view key) const;
  /// The stack whose behaviour later removals follow (classic at first).
  void use_stack(Stack stack);
  /// Makes `function` fail with `code` for the device `key`, `times` times (-1: until cleared);
  /// `code` 0 clears it.
  void fail(std::string key, std::string function, unsigned code, int times);
  /// The data connection of the handle that holds the device `key`, when there is one.
  [[nodiscard]] std::optional<int> data_connection(std::string_view key) const;

  // Requests of a DLL: `process` names its control connection, `pid` its Windows process.

  [[nodiscard]] ReplyLine count(unsigned pid);
  [[nodiscard]] ReplyLine caps(unsigned pid, std::size_t number);
  [[nodiscard]] ReplyLine caps_of_handle(unsigned handle);
  [[nodiscard]] ReplyLine interface_size(unsigned pid, std::size_t number);
  [[nodiscard]] ReplyLine interface_path(unsigned pid, std::size_t number);
  [[nodiscard]] ReplyLine open(int process, unsigned pid, std::size_t number);
  [[nodiscard]] ReplyLine fault(unsigned handle, std::string_view function);
  [[nodiscard]] ReplyLine closed(unsigned handle);
  /// The handle's data connection is `connection`.
  void attach(unsigned handle, int connection);
  /// A data connection has ended.
  void detach(int connection);
  /// A process's control connection has ended: its handles are released, as the system
  /// releases the devices of a process that ends.
  void end_process(int process, unsigned pid);

 private:
  struct Device {
    std::string key;
    std::u16string path;
    std::u16string name;
    int listings_left = -1;  // listings before it vanishes; -1: stays
    std::optional<unsigned> holder;
  };
  struct Handle {
    std::shared_ptr<Device> device;
    int process = -1;
    int data = -1;  // data connection, -1 until attached
    bool open = true;
    std::string gone;  // the line that tells the DLL that the device is gone, once it is
  };
  struct Fault {
    std::string key;
    std::string function;
    unsigned code = 0;
    int times = -1;
  };

  /// The device at `number`, when the number is in the list.
  [[nodiscard]] std::shared_ptr<Device> at(std::size_t number) const;
  /// The failure asked for `function` of `device`, counting its use; 0 for none.
  [[nodiscard]] unsigned take_fault(const Device& device, std::string_view function);
  [[nodiscard]] ReplyLine listing_reply(unsigned pid, std::string_view function, std::size_t number,
                                        const std::function<std::string(const Device&)>& value);

  std::function<void(std::string_view)> m_record;
  std::function<void(int, std::string_view)> m_tell;
  Stack m_stack = Stack::classic;
  std::vector<std::shared_ptr<Device>> m_devices;  // present devices, in device-number order
  std::map<unsigned, Handle> m_handles;            // every handle ever opened
  std::vector<Fault> m_faults;
  unsigned m_next_handle = 1;
};

}  // namespace winmm_standin
