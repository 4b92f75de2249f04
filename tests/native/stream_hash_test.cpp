#include "text/stream_hash.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tessaly {
namespace {

using namespace std::string_literals;

TEST(StreamHashTest, SameForAnyCutDifferentForOtherBytes) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 7);
  StreamHash whole;
  whole.Add(bytes);
  for (std::size_t chunk = 1; chunk < 70; chunk += 3) {
    StreamHash cut;
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
      cut.Add(std::string_view(bytes).substr(at, chunk));
    }
    EXPECT_EQ(cut.Value(), whole.Value()) << chunk;
  }
  for (const std::size_t changed : {0u, 31u, 32u, 150u, 299u}) {
    std::string other = bytes;
    other[changed] ^= 1;
    StreamHash hash;
    hash.Add(other);
    EXPECT_NE(hash.Value(), whole.Value()) << changed;
  }
  StreamHash shorter;
  shorter.Add(std::string_view(bytes).substr(0, 299));
  EXPECT_NE(shorter.Value(), whole.Value());
}

}  // namespace
}  // namespace tessaly
