#pragma once
// The lines between the WinMM stand-in DLL and its controller, shared by both sides (the DLL is
// cross-built for Windows, the controller is a native Linux program). Text lines ending in a
// line feed over loopback TCP; the controller listens, every loaded DLL connects to it.
//
// Control connection, one per process, opened at the first WinMM call:
//   DLL:  hello PID                         (no reply)
//   DLL:  count                             reply: ok N
//   DLL:  caps N | hcaps H                  reply: ok HEXNAME | err CODE
//   DLL:  ifsize N                          reply: ok BYTES   | err CODE
//   DLL:  iface N                           reply: ok HEXPATH | err CODE
//   DLL:  open N                            reply: ok H       | err CODE
//   DLL:  fault H FUNCTION                  reply: ok | err CODE   (an injected failure)
//   DLL:  closed H                          reply: ok              (ownership released)
//   DLL:  log H TEXT                        (no reply; H is 0 when no handle is meant)
// Data connection, one per open handle, read by that handle's reader thread:
//   DLL:  attach H                          (no reply)
//   ctl:  bytes HEX                         bytes the device sends, in order
//   ctl:  gone classic | gone services      the device went away (what the handle does then)
// HEXNAME and HEXPATH are UTF-16 units, four hexadecimal digits each; HEX is two digits a byte.
// CODE is an MMRESULT in decimal.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace winmm_standin {

/// The environment variable that gives the DLL the controller's port on 127.0.0.1.
inline constexpr const char* k_port_variable = "WINMM_STANDIN_PORT";

/// MMRESULT values and their names, as the record and the `fail` command write them.
struct ResultName {
  unsigned code;
  std::string_view name;
};
inline constexpr std::array k_result_names = {
    ResultName{0, "MMSYSERR_NOERROR"},      ResultName{1, "MMSYSERR_ERROR"},
    ResultName{2, "MMSYSERR_BADDEVICEID"},  ResultName{3, "MMSYSERR_NOTENABLED"},
    ResultName{4, "MMSYSERR_ALLOCATED"},    ResultName{5, "MMSYSERR_INVALHANDLE"},
    ResultName{6, "MMSYSERR_NODRIVER"},     ResultName{7, "MMSYSERR_NOMEM"},
    ResultName{8, "MMSYSERR_NOTSUPPORTED"}, ResultName{10, "MMSYSERR_INVALFLAG"},
    ResultName{11, "MMSYSERR_INVALPARAM"},  ResultName{12, "MMSYSERR_HANDLEBUSY"},
    ResultName{21, "MMSYSERR_MOREDATA"},    ResultName{64, "MIDIERR_UNPREPARED"},
    ResultName{65, "MIDIERR_STILLPLAYING"}, ResultName{67, "MIDIERR_NOTREADY"},
    ResultName{68, "MIDIERR_NODEVICE"},
};

/// The name of `code`, or the code in decimal when it has none.
inline std::string result_name(unsigned code) {
  for (const ResultName& entry : k_result_names) {
    if (entry.code == code) {
      return std::string(entry.name);
    }
  }
  return std::to_string(code);
}

/// The code named `text` (a name of the table or a decimal number).
inline std::optional<unsigned> result_code(std::string_view text) {
  for (const ResultName& entry : k_result_names) {
    if (entry.name == text) {
      return entry.code;
    }
  }
  if (text.empty() || text.size() > 9) {
    return std::nullopt;
  }
  unsigned code = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    code = code * 10 + static_cast<unsigned>(c - '0');
  }
  return code;
}

inline constexpr std::string_view k_hex_digits = "0123456789abcdef";

inline std::optional<unsigned> hex_digit(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<unsigned>(c - '0');
  }
  if (c >= 'a' && c <= 'f') {
    return static_cast<unsigned>(c - 'a' + 10);
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<unsigned>(c - 'A' + 10);
  }
  return std::nullopt;
}

/// `value` as `digits` hexadecimal digits, most significant first.
inline void append_hex(std::string& out, unsigned value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out.push_back(k_hex_digits[(value >> shift) & 0xF]);
  }
}

/// Reads `text` as groups of `digits` hexadecimal digits; nothing when it is not.
inline std::optional<std::vector<unsigned>> read_hex(std::string_view text, std::size_t digits) {
  if (text.size() % digits != 0) {
    return std::nullopt;
  }
  std::vector<unsigned> values;
  for (std::size_t at = 0; at < text.size(); at += digits) {
    unsigned value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      const auto digit = hex_digit(text[at + i]);
      if (!digit) {
        return std::nullopt;
      }
      value = value * 16 + *digit;
    }
    values.push_back(value);
  }
  return values;
}

inline std::string hex_from_units(std::u16string_view units) {
  std::string out;
  for (const char16_t unit : units) {
    append_hex(out, unit, 4);
  }
  return out;
}

inline std::optional<std::u16string> units_from_hex(std::string_view text) {
  const auto values = read_hex(text, 4);
  if (!values) {
    return std::nullopt;
  }
  return std::u16string(values->begin(), values->end());
}

inline std::string hex_from_bytes(std::span<const std::uint8_t> bytes) {
  std::string out;
  for (const std::uint8_t byte : bytes) {
    append_hex(out, byte, 2);
  }
  return out;
}

inline std::optional<std::vector<std::uint8_t>> bytes_from_hex(std::string_view text) {
  const auto values = read_hex(text, 2);
  if (!values) {
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(values->begin(), values->end());
}

}  // namespace winmm_standin
