#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop/console_output.h"

namespace tavrick {
namespace {

TEST(ConsoleOutputWin32Test, ClosedPipeIsIgnoredAndLastErrorKept) {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  CloseHandle(read_end);
  const HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, write_end);
  SetLastError(ERROR_FILE_NOT_FOUND);
  write_text(Stream::out, "→ không ai đọc\n");
  const DWORD error = GetLastError();
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(write_end);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(ConsoleOutputWin32Test, MissingStreamIsIgnored) {
  const HANDLE saved = GetStdHandle(STD_ERROR_HANDLE);
  for (const HANDLE missing : {HANDLE{nullptr}, INVALID_HANDLE_VALUE}) {
    SetStdHandle(STD_ERROR_HANDLE, missing);
    SetLastError(ERROR_ACCESS_DENIED);
    write_text(Stream::err, "nowhere\n");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  SetStdHandle(STD_ERROR_HANDLE, saved);
}

}  // namespace
}  // namespace tavrick
