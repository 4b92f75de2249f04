#include "services/long_path.h"

namespace tessaly {
namespace {

// MAX_PATH less room for the terminator; shorter paths need no prefix.
constexpr std::size_t kLongestPlainPath = 259;

}  // namespace

Text ExtendedLengthPath(const Text& full_path) {
  if (full_path.size() <= kLongestPlainPath) return full_path;
  if (full_path.starts_with(u"\\\\?\\") || full_path.starts_with(u"\\\\.\\")) {
    return full_path;
  }
  if (full_path.starts_with(u"\\\\"))
    return u"\\\\?\\UNC" + full_path.substr(1);
  if (full_path.size() >= 3 && full_path[1] == u':' && full_path[2] == u'\\') {
    return u"\\\\?\\" + full_path;
  }
  return full_path;
}

}  // namespace tessaly
