#ifndef TESSALY_TEXT_ANSI_CODE_PAGE_H_
#define TESSALY_TEXT_ANSI_CODE_PAGE_H_

#include <cstdint>

namespace tessaly {

/// The ANSI code page that Windows has always given a system locale of the
/// language `language_id` (a LANGID: primary language and sublanguage):
/// 874 Thai, 932 Japanese, 936 and 950 Chinese by script, 949 Korean, 1250
/// to 1258 by language and script, and 1252 for every other language. The
/// last resort where the system names no legacy code page.
std::uint32_t ClassicAnsiCodePage(std::uint16_t language_id);

}  // namespace tessaly

#endif  // TESSALY_TEXT_ANSI_CODE_PAGE_H_
