#ifndef TESSALY_TEXT_STREAM_HASH_H_
#define TESSALY_TEXT_STREAM_HASH_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessaly {

/// A 64-bit hash of a stream of bytes, the same however the stream is cut
/// into chunks. Not cryptographic: it tells whether two reads of a file
/// gave the same bytes.
class StreamHash {
 public:
  void Add(std::string_view bytes);
  std::uint64_t Value() const;

 private:
  static constexpr std::size_t kLanes = 8;
  static constexpr std::size_t kBlock = 4 * kLanes;
  void Mix(const char* blocks, std::size_t count);

  std::array<std::uint32_t, kLanes> lanes_ = {
      0x243F6A88U, 0x85A308D3U, 0x13198A2EU, 0x03707344U,
      0xA4093822U, 0x299F31D0U, 0x082EFA98U, 0xEC4E6C89U};
  std::array<char, kBlock> pending_ = {};
  std::size_t pending_size_ = 0;
  std::uint64_t length_ = 0;
};

}  // namespace tessaly

#endif  // TESSALY_TEXT_STREAM_HASH_H_
