// The stand-in's device list, ownership and injected failures.

#include "device_model.h"

#include <algorithm>
#include <utility>

#include "protocol.h"

namespace winmm_standin {

namespace {

constexpr unsigned k_no_error = 0;
constexpr unsigned k_bad_device_id = 2;
constexpr unsigned k_allocated = 4;
constexpr unsigned k_invalid_handle = 5;

ReplyLine error_reply(unsigned code) { return "err " + std::to_string(code); }

std::string handle_name(unsigned handle) { return "h" + std::to_string(handle); }

}  // namespace

DeviceModel::DeviceModel(std::function<void(std::string_view)> record,
                         std::function<void(int, std::string_view)> tell)
    : m_record(std::move(record)), m_tell(std::move(tell)) {}

std::optional<std::string> DeviceModel::plug(std::string key, std::u16string path,
                                             std::u16string name, int listings) {
  for (const auto& device : m_devices) {
    if (device->key == key) {
      return "already plugged: " + key;
    }
  }
  auto device = std::make_shared<Device>();
  device->key = std::move(key);
  device->path = std::move(path);
  device->name = std::move(name);
  device->listings_left = listings;
  m_devices.push_back(std::move(device));
  return std::nullopt;
}

std::optional<std::string> DeviceModel::unplug(std::string_view key) {
  const auto found = std::find_if(m_devices.begin(), m_devices.end(),
                                  [key](const auto& device) { return device->key == key; });
  if (found == m_devices.end()) {
    return "not plugged: " + std::string(key);
  }
  const std::shared_ptr<Device> device = *found;
  m_devices.erase(found);
  for (auto& [number, handle] : m_handles) {
    if (handle.device != device || !handle.open) {
      continue;
    }
    if (m_stack == Stack::classic) {
      handle.gone = "gone classic";
      m_record(handle_name(number) + " lost its device (classic stack): MIM_CLOSE follows");
    } else {
      handle.gone = "gone services";
      m_record(handle_name(number) +
               " lost its device (MIDI Services): silent, every call but midiInClose fails");
    }
    if (handle.data >= 0) {
      m_tell(handle.data, handle.gone);
    }
  }
  return std::nullopt;
}

std::optional<std::pair<std::u16string, std::u16string>> DeviceModel::identity(
    std::string_view key) const {
  for (const auto& device : m_devices) {
    if (device->key == key) {
      return std::pair{device->path, device->name};
    }
  }
  return std::nullopt;
}

void DeviceModel::use_stack(Stack stack) { m_stack = stack; }

void DeviceModel::fail(std::string key, std::string function, unsigned code, int times) {
  std::erase_if(m_faults,
                [&](const Fault& fault) { return fault.key == key && fault.function == function; });
  if (code != k_no_error && times != 0) {
    m_faults.push_back(Fault{std::move(key), std::move(function), code, times});
  }
}

std::optional<int> DeviceModel::data_connection(std::string_view key) const {
  for (const auto& device : m_devices) {
    if (device->key == key && device->holder) {
      const Handle& handle = m_handles.at(*device->holder);
      if (handle.data >= 0) {
        return handle.data;
      }
    }
  }
  return std::nullopt;
}

std::shared_ptr<DeviceModel::Device> DeviceModel::at(std::size_t number) const {
  return number < m_devices.size() ? m_devices[number] : nullptr;
}

unsigned DeviceModel::take_fault(const Device& device, std::string_view function) {
  for (auto fault = m_faults.begin(); fault != m_faults.end(); ++fault) {
    if (fault->key == device.key && fault->function == function) {
      const unsigned code = fault->code;
      if (fault->times > 0 && --fault->times == 0) {
        m_faults.erase(fault);
      }
      return code;
    }
  }
  return k_no_error;
}

ReplyLine DeviceModel::count(unsigned pid) {
  // A device plugged for a number of listings leaves at the start of the first one too many.
  std::erase_if(m_devices, [](const auto& device) { return device->listings_left == 0; });
  for (const auto& device : m_devices) {
    if (device->listings_left > 0) {
      --device->listings_left;
    }
  }
  m_record("pid " + std::to_string(pid) + " midiInGetNumDevs → " +
           std::to_string(m_devices.size()));
  return "ok " + std::to_string(m_devices.size());
}

ReplyLine DeviceModel::listing_reply(unsigned pid, std::string_view function, std::size_t number,
                                     const std::function<std::string(const Device&)>& value) {
  const auto device = at(number);
  std::string text =
      "pid " + std::to_string(pid) + " " + std::string(function) + " " + std::to_string(number);
  unsigned code = k_bad_device_id;
  if (device) {
    text += " (" + device->key + ")";
    code = take_fault(*device, function);
  }
  m_record(text + " → " + result_name(code));
  return code == k_no_error ? "ok " + value(*device) : error_reply(code);
}

ReplyLine DeviceModel::caps(unsigned pid, std::size_t number) {
  return listing_reply(pid, "midiInGetDevCapsW", number,
                       [](const Device& device) { return hex_from_units(device.name); });
}

ReplyLine DeviceModel::caps_of_handle(unsigned handle) {
  const auto found = m_handles.find(handle);
  if (found == m_handles.end()) {
    return error_reply(k_invalid_handle);
  }
  return "ok " + hex_from_units(found->second.device->name);
}

ReplyLine DeviceModel::interface_size(unsigned pid, std::size_t number) {
  // The size in bytes of the path with its terminating NUL.
  return listing_reply(pid, "DRV_QUERYDEVICEINTERFACESIZE", number, [](const Device& device) {
    return std::to_string((device.path.size() + 1) * 2);
  });
}

ReplyLine DeviceModel::interface_path(unsigned pid, std::size_t number) {
  return listing_reply(pid, "DRV_QUERYDEVICEINTERFACE", number,
                       [](const Device& device) { return hex_from_units(device.path); });
}

ReplyLine DeviceModel::open(int process, unsigned pid, std::size_t number) {
  const auto device = at(number);
  std::string text = "pid " + std::to_string(pid) + " midiInOpen " + std::to_string(number);
  unsigned code = k_bad_device_id;
  if (device) {
    text += " (" + device->key + ")";
    code = take_fault(*device, "midiInOpen");
    // Another handle holds the device, in this process or another one.
    if (code == k_no_error && device->holder) {
      code = k_allocated;
    }
  }
  if (code != k_no_error) {
    m_record(text + " → " + result_name(code));
    return error_reply(code);
  }
  const unsigned handle = m_next_handle++;
  device->holder = handle;
  m_handles.emplace(handle, Handle{device, process, -1, true, {}});
  m_record(text + " → MMSYSERR_NOERROR " + handle_name(handle));
  return "ok " + std::to_string(handle);
}

ReplyLine DeviceModel::fault(unsigned handle, std::string_view function) {
  const auto found = m_handles.find(handle);
  if (found == m_handles.end()) {
    return error_reply(k_invalid_handle);
  }
  const unsigned code = take_fault(*found->second.device, function);
  return code == k_no_error ? "ok" : error_reply(code);
}

ReplyLine DeviceModel::closed(unsigned handle) {
  const auto found = m_handles.find(handle);
  if (found == m_handles.end() || !found->second.open) {
    return error_reply(k_invalid_handle);
  }
  Handle& closing = found->second;
  closing.open = false;
  if (closing.device->holder == handle) {
    closing.device->holder.reset();
  }
  m_record(handle_name(handle) + " midiInClose → MMSYSERR_NOERROR");
  return "ok";
}

void DeviceModel::attach(unsigned handle, int connection) {
  if (const auto found = m_handles.find(handle); found != m_handles.end()) {
    found->second.data = connection;
    // Removed between the open and the attach: told now.
    if (!found->second.gone.empty()) {
      m_tell(connection, found->second.gone);
    }
  }
}

void DeviceModel::detach(int connection) {
  for (auto& [number, handle] : m_handles) {
    if (handle.data == connection) {
      handle.data = -1;
    }
  }
}

void DeviceModel::end_process(int process, unsigned pid) {
  for (auto& [number, handle] : m_handles) {
    if (handle.process == process && handle.open) {
      handle.open = false;
      if (handle.device->holder == number) {
        handle.device->holder.reset();
      }
      m_record(handle_name(number) + " released: process " + std::to_string(pid) + " ended");
    }
  }
  m_record("pid " + std::to_string(pid) + " ended");
}

}  // namespace winmm_standin
