#include "desktop/console_output.h"

#include <gtest/gtest.h>

#include <string>

#include "support/process_io.h"
#include "support/scratch_folder.h"

namespace tavrick {
namespace {

TEST(ConsoleOutputTest, RedirectedStreamsGetTheUtf8Bytes) {
  const test::ScratchFolder folder;
  const std::string text = "✗ lỗi\n══ Chỉnh ảnh — thường\n";
  // Over a few MiB, so that any limit on single writes is crossed.
  std::string big;
  for (int i = 0; big.size() < 3'000'000; ++i) {
    big += std::to_string(i) + " Độ sáng ±0.05/nấc\n";
  }
  for (const Stream stream : {Stream::out, Stream::err}) {
    const auto file = folder.path() / "stream.txt";
    {
      const test::StreamToFile redirect(stream, file);
      write_text(stream, text);
      write_text(stream, "");
      write_text(stream, big);
    }
    EXPECT_EQ(test::read_file(file), text + big);
  }
}

}  // namespace
}  // namespace tavrick
