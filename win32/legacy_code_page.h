#ifndef TESSALY_WIN32_LEGACY_CODE_PAGE_H_
#define TESSALY_WIN32_LEGACY_CODE_PAGE_H_

#include <cstdint>

namespace tessaly {

/// The code page of text files without a mark that are not UTF-8: the
/// system's ANSI code page, or where that is UTF-8 (65001), the one the
/// system would have without that setting, as the system names it or else
/// as its language has it.
std::uint32_t LegacyAnsiCodePage();

}  // namespace tessaly

#endif  // TESSALY_WIN32_LEGACY_CODE_PAGE_H_
