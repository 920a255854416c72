// The window focus through PowerShell, which every supported Windows has.

#include "desktop/app_window.h"

#include "desktop/child_process.h"
#include "desktop/log.h"

namespace tavrick {

void focus_app_window() {
  // AppActivate answers whether a window was found; dropping the answer keeps PowerShell silent
  // and its exit code 0 when Sorvic is not running.
  const auto focused = run_checked(
      {.program = "powershell",
       .args = {"-NoProfile", "-NonInteractive", "-Command",
                "$null = (New-Object -ComObject WScript.Shell).AppActivate('Orvalen Sorvic')"}});
  if (!focused) {
    log_line("! không đưa được Sorvic lên trước: " + focused.error());
  }
}

}  // namespace tavrick
