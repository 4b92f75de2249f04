#include "paths/long_path.h"

#include <algorithm>

namespace tessaly {
namespace {

constexpr char16_t kExtendedPrefix[] = u"\\\\?\\";
constexpr char16_t kExtendedUncPrefix[] = u"\\\\?\\UNC\\";

}  // namespace

bool IsFullPath(std::u16string_view path) {
  const bool drive_root = path.size() >= 3 && path[1] == u':' &&
                          (path[2] == u'\\' || path[2] == u'/');
  return drive_root || path.starts_with(u"\\\\");
}

bool StartsAtDriveRoot(std::u16string_view path) {
  return IsFullPath(path) && path[1] == u':' && path[2] == u'\\';
}

Text ExtendedLengthPath(const Text& full_path) {
  if (full_path.size() <= kLongestPlainPath) return full_path;
  if (full_path.starts_with(kExtendedPrefix) ||
      full_path.starts_with(u"\\\\.\\")) {
    return full_path;
  }
  if (full_path.starts_with(u"\\\\")) {
    return u"\\\\?\\UNC" + full_path.substr(1);
  }
  if (StartsAtDriveRoot(full_path)) {
    return kExtendedPrefix + full_path;
  }
  return full_path;
}

Text PlainPath(const Text& path) {
  if (path.starts_with(kExtendedUncPrefix)) {
    // "\\?\UNC\server" is "\\server".
    Text plain(1, u'\\');
    plain.append(path, 7);
    return plain;
  }
  if (path.starts_with(kExtendedPrefix)) return path.substr(4);
  return path;
}

Text LastComponent(const Text& path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  return separator == Text::npos ? path : path.substr(separator + 1);
}

Text FolderOf(const Text& path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  return separator == Text::npos ? Text(u".") : path.substr(0, separator);
}

Text ReplaceLeadingFolder(const Text& full_path, const Text& from,
                          const Text& to) {
  const std::size_t start = full_path.starts_with(kExtendedPrefix) &&
                                    !full_path.starts_with(kExtendedUncPrefix)
                                ? 4
                                : 0;
  const std::size_t end = start + from.size();
  const bool whole_component =
      full_path.size() == end ||
      (full_path.size() > end && full_path[end] == u'\\');
  if (from.empty() || !whole_component ||
      !std::equal(from.begin(), from.end(), full_path.begin() + start,
                  [](char16_t a, char16_t b) {
                    return AsciiLower(a) == AsciiLower(b);
                  })) {
    return full_path;
  }
  return full_path.substr(0, start) + to + full_path.substr(end);
}

UnredirectedPath PathPastRedirection(const Text& full_path,
                                     const Text& system_folder,
                                     const Text& native_folder) {
  const Text native =
      ReplaceLeadingFolder(full_path, system_folder, native_folder);
  if (native == full_path) return {ExtendedLengthPath(full_path), false};
  if (!full_path.starts_with(kExtendedPrefix) &&
      native.size() <= kLongestPlainPath) {
    return {native, false};
  }
  return {ExtendedLengthPath(full_path), true};
}

}  // namespace tessaly
