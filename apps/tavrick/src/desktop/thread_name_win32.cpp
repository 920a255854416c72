#include "desktop/thread_name.h"

#include <windows.h>

#include <memory>

#include "desktop/text_convert.h"

namespace tavrick {

namespace {

using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);

// Windows before 10 (1607) and older Wine have neither call; they are looked up at run time so
// that the programs still start there.
template <typename Function>
Function kernel32_function(const char* name) {
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

}  // namespace

void name_this_thread(std::string_view name) {
  static const auto set_description = kernel32_function<SetDescription>("SetThreadDescription");
  if (set_description == nullptr) {
    return;
  }
  const std::u16string wide = utf16_from_utf8(name.substr(0, k_thread_name_limit));
  const std::wstring text(wide.begin(), wide.end());
  (void)set_description(GetCurrentThread(), text.c_str());
}

std::string this_thread_name() {
  static const auto get_description = kernel32_function<GetDescription>("GetThreadDescription");
  if (get_description == nullptr) {
    return {};
  }
  PWSTR text = nullptr;
  if (FAILED(get_description(GetCurrentThread(), &text)) || text == nullptr) {
    return {};
  }
  // The system allocated the text; LocalFree gives it back.
  const std::unique_ptr<wchar_t, void (*)(wchar_t*)> owner(text, [](wchar_t* t) { LocalFree(t); });
  const std::wstring_view view(text);
  return utf8_from_utf16(std::u16string(view.begin(), view.end()));
}

}  // namespace tavrick
