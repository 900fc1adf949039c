//===-- tests/support/window_source_test.cpp - Reads through a window -----===//
#include "support/window_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace arc {
namespace {

TEST(WindowSource, AnswersEveryReadAsTheFileWould) {
  std::vector<uint8_t> bytes(10000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  MemorySource file(bytes);
  WindowSource window(file, 1024);
  struct Read {
    int64_t offset;
    int32_t count;
  };
  // In order, backwards, across the window's end, larger than half the
  // window, at and beyond the end of the file, and invalid.
  const Read reads[] = {{0, 30},    {30, 46},   {1000, 100}, {500, 20}, {1020, 10}, {2000, 600},
                        {9990, 30}, {10000, 4}, {12000, 4},  {-1, 4},   {3, 0},     {9500, 512}};
  for (const Read& r : reads) {
    std::vector<uint8_t> want(static_cast<size_t>(std::max(r.count, 1)));
    std::vector<uint8_t> got(want.size());
    const int32_t n = file.ReadAt(r.offset, want.data(), r.count);
    EXPECT_EQ(window.ReadAt(r.offset, got.data(), r.count), n) << r.offset;
    got.resize(static_cast<size_t>(std::max(n, 0)));
    want.resize(got.size());
    EXPECT_EQ(got, want) << r.offset;
  }
}

}  // namespace
}  // namespace arc
