#include "text/stream_hash.h"

#include <algorithm>
#include <cstring>

namespace tessaly {
namespace {

std::uint64_t Rotate(std::uint64_t value, int bits) {
  return value << bits | value >> (64 - bits);
}

}  // namespace

void StreamHash::Add(std::string_view bytes) {
  length_ += bytes.size();
  if (pending_size_ > 0) {
    const std::size_t taken = std::min(kBlock - pending_size_, bytes.size());
    std::memcpy(pending_.data() + pending_size_, bytes.data(), taken);
    pending_size_ += taken;
    bytes.remove_prefix(taken);
    if (pending_size_ < kBlock) return;
    Mix(pending_.data(), 1);
    pending_size_ = 0;
  }
  const std::size_t blocks = bytes.size() / kBlock;
  Mix(bytes.data(), blocks);
  bytes.remove_prefix(blocks * kBlock);
  std::memcpy(pending_.data(), bytes.data(), bytes.size());
  pending_size_ = bytes.size();
}

void StreamHash::Mix(const char* blocks, std::size_t count) {
  // Eight independent 32-bit lanes keep the multiplier busy, also in a
  // 32-bit program; held in locals, which the bytes cannot alias.
  std::array<std::uint32_t, kLanes> lanes = lanes_;
  for (std::size_t block = 0; block < count; ++block) {
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      std::uint32_t word;
      std::memcpy(&word, blocks + block * kBlock + 4 * lane, sizeof word);
      const std::uint32_t mixed = (lanes[lane] ^ word) * 0x9E3779B1U;
      lanes[lane] = mixed << 13 | mixed >> 19;
    }
  }
  lanes_ = lanes;
}

std::uint64_t StreamHash::Value() const {
  StreamHash last = *this;
  std::array<char, kBlock> tail = {};
  std::memcpy(tail.data(), pending_.data(), pending_size_);
  last.Mix(tail.data(), 1);
  std::uint64_t value = length_;
  for (const std::uint32_t lane : last.lanes_) {
    value = Rotate((value ^ lane) * 0xC2B2AE3D27D4EB4FULL, 31);
  }
  return value;
}

}  // namespace tessaly
