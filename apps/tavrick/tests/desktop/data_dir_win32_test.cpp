#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "desktop/data_dir.h"

namespace tavrick {
namespace {

TEST(DataDirWin32Test, WithoutLocalAppDataTheTemporaryFolderIsUsed) {
  std::wstring old(32768, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", old.data(), 32768);
  old.resize(length);
  ASSERT_TRUE(SetEnvironmentVariableW(L"LOCALAPPDATA", nullptr));
  const std::filesystem::path folder = data_dir();
  if (length > 0) {
    SetEnvironmentVariableW(L"LOCALAPPDATA", old.c_str());
  }
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
  EXPECT_EQ(folder, std::filesystem::path(temp) / L"Orvalen Sorvic");
}

}  // namespace
}  // namespace tavrick
