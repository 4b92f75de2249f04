// The code page of text files without a mark that are not UTF-8, where the
// system's own ANSI code page is UTF-8.
#include "win32/legacy_code_page.h"

#include <windows.h>

#include <initializer_list>

#include "text/ansi_code_page.h"

namespace tessaly {
namespace {

// A code page that text can be decoded in: not 0 (a locale without one),
// not UTF-8 or UTF-7, and installed.
bool IsUsableLegacyCodePage(DWORD code_page) {
  return code_page != 0 && code_page != CP_UTF8 && code_page != CP_UTF7 &&
         ::IsValidCodePage(code_page);
}

// A number that the system locale gives for `type`, or 0. Newer values are
// documented for GetLocaleInfoEx; older systems, and Wine, know the system
// locale only by its LCID.
DWORD SystemLocaleNumber(LCTYPE type) {
  DWORD value = 0;
  const auto out = reinterpret_cast<wchar_t*>(&value);
  constexpr int kUnits = sizeof value / sizeof(wchar_t);
  if (::GetLocaleInfoEx(LOCALE_NAME_SYSTEM_DEFAULT, type | LOCALE_RETURN_NUMBER,
                        out, kUnits) != 0 ||
      ::GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, type | LOCALE_RETURN_NUMBER, out,
                       kUnits) != 0) {
    return value;
  }
  return 0;
}

}  // namespace

std::uint32_t LegacyAnsiCodePage() {
  const UINT system = ::GetACP();
  if (system != CP_UTF8) return system;
  // Windows' "Use Unicode UTF-8 for worldwide language support". Not every
  // Windows knows this one; the number is the documented one.
  constexpr LCTYPE kUseUtf8LegacyAcp = 0x00000666;  // LOCALE_IUSEUTF8LEGACYACP
  for (const LCTYPE type :
       {kUseUtf8LegacyAcp, LCTYPE{LOCALE_IDEFAULTANSICODEPAGE}}) {
    const DWORD code_page = SystemLocaleNumber(type);
    if (IsUsableLegacyCodePage(code_page)) return code_page;
  }
  // Whether the system locale still names its legacy code page while UTF-8
  // is on is not documented; its language does.
  const DWORD by_language = ClassicAnsiCodePage(::GetSystemDefaultLangID());
  return IsUsableLegacyCodePage(by_language) ? by_language : 1252;
}

}  // namespace tessaly
