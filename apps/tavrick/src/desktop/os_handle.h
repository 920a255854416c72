#pragma once
// The one owner of each kind of operating-system handle: a Linux file descriptor (UniqueFd) and a
// Windows HANDLE (UniqueHandle, an opaque pointer here). Each closes what it holds exactly once.

#include <cstdint>
#include <utility>

namespace tavrick {

/// Owns one handle of the kind `Traits` describes (its type `Value`, the empty value `k_none`,
/// `is_valid` and `close`) and closes it when destroyed, reset or assigned over. Move-only; a
/// moved-from owner holds nothing. Used by one thread at a time.
template <typename Traits>
class UniqueOsHandle {
 public:
  using Value = typename Traits::Value;

  UniqueOsHandle() = default;
  /// Takes over `value`, which may be one of the platform's failure values (then holds nothing).
  explicit UniqueOsHandle(Value value) noexcept : m_value(value) {}
  UniqueOsHandle(UniqueOsHandle&& other) noexcept : m_value(other.release()) {}
  UniqueOsHandle& operator=(UniqueOsHandle&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  UniqueOsHandle(const UniqueOsHandle&) = delete;
  UniqueOsHandle& operator=(const UniqueOsHandle&) = delete;
  ~UniqueOsHandle() { reset(); }

  /// The handle, still owned; `k_none` when empty.
  [[nodiscard]] Value get() const noexcept { return m_value; }
  [[nodiscard]] bool is_open() const noexcept { return Traits::is_valid(m_value); }

  /// Gives the handle up without closing it; the caller owns it from then on.
  [[nodiscard]] Value release() noexcept { return std::exchange(m_value, Traits::k_none); }

  /// Closes the handle held (if any) and takes over `value`.
  void reset(Value value = Traits::k_none) noexcept {
    const Value old = std::exchange(m_value, value);
    if (Traits::is_valid(old)) {
      Traits::close(old);
    }
  }

 private:
  Value m_value = Traits::k_none;
};

/// A file descriptor; any negative number is none. Linux only: close() is defined there.
struct FdTraits {
  using Value = int;
  static constexpr Value k_none = -1;
  static bool is_valid(Value fd) noexcept { return fd >= 0; }
  static void close(Value fd) noexcept;
};
using UniqueFd = UniqueOsHandle<FdTraits>;

/// A Windows HANDLE. Both null and INVALID_HANDLE_VALUE (all bits set) are none: the system's
/// calls report failure with one or the other. Windows only: close() is defined there.
struct HandleTraits {
  using Value = void*;
  static constexpr Value k_none = nullptr;
  static bool is_valid(Value handle) noexcept {
    return handle != nullptr && reinterpret_cast<std::intptr_t>(handle) != -1;
  }
  static void close(Value handle) noexcept;
};
using UniqueHandle = UniqueOsHandle<HandleTraits>;

/// The owner of an open file on this platform, for the classes that both platforms declare alike
/// (the instance lock, the log file).
#ifdef _WIN32
using UniqueFile = UniqueHandle;
#else
using UniqueFile = UniqueFd;
#endif

}  // namespace tavrick
