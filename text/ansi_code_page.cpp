#include "text/ansi_code_page.h"

#include <utility>

namespace tessaly {
namespace {

constexpr std::uint32_t kWestern = 1252;

// Primary language ids (LANG_*) whose locales share one code page,
// whatever the sublanguage. Chinese, Serbian, Bosnian, Azerbaijani and Uzbek
// go by script, below.
constexpr std::pair<std::uint16_t, std::uint32_t> kByLanguage[] = {
    {0x01, 1256},  // Arabic
    {0x02, 1251},  // Bulgarian
    {0x05, 1250},  // Czech
    {0x08, 1253},  // Greek
    {0x0D, 1255},  // Hebrew
    {0x0E, 1250},  // Hungarian
    {0x11, 932},   // Japanese
    {0x12, 949},   // Korean
    {0x15, 1250},  // Polish
    {0x18, 1250},  // Romanian
    {0x19, 1251},  // Russian
    {0x1B, 1250},  // Slovak
    {0x1C, 1250},  // Albanian
    {0x1E, 874},   // Thai
    {0x1F, 1254},  // Turkish
    {0x20, 1256},  // Urdu
    {0x22, 1251},  // Ukrainian
    {0x23, 1251},  // Belarusian
    {0x24, 1250},  // Slovenian
    {0x25, 1257},  // Estonian
    {0x26, 1257},  // Latvian
    {0x27, 1257},  // Lithuanian
    {0x28, 1251},  // Tajik
    {0x29, 1256},  // Persian
    {0x2A, 1258},  // Vietnamese
    {0x2F, 1251},  // Macedonian
    {0x3F, 1251},  // Kazakh
    {0x40, 1251},  // Kyrgyz
    {0x42, 1250},  // Turkmen
    {0x44, 1251},  // Tatar
    {0x50, 1251},  // Mongolian
    {0x59, 1256},  // Sindhi
    {0x6D, 1251},  // Bashkir
    {0x80, 1256},  // Uyghur
    {0x85, 1251},  // Sakha
    {0x8C, 1256},  // Dari
    {0x92, 1256},  // Central Kurdish
};

constexpr std::uint16_t kChinese = 0x04;
constexpr std::uint16_t kSerboCroatian = 0x1A;
constexpr std::uint16_t kAzerbaijani = 0x2C;
constexpr std::uint16_t kUzbek = 0x43;

}  // namespace

std::uint32_t ClassicAnsiCodePage(std::uint16_t language_id) {
  const std::uint16_t language = language_id & 0x3FF;
  const std::uint16_t sublanguage = language_id >> 10;
  switch (language) {
    case kChinese:
      // Taiwan, Hong Kong, Macao and "zh-Hant" write Traditional Chinese.
      return sublanguage == 0x01 || sublanguage == 0x03 ||
                     sublanguage == 0x05 || sublanguage == 0x1F
                 ? 950
                 : 936;
    case kSerboCroatian:
      // The Cyrillic Serbian and Bosnian locales.
      return sublanguage == 0x03 || sublanguage == 0x07 ||
                     sublanguage == 0x08 || sublanguage == 0x0A ||
                     sublanguage == 0x0C
                 ? 1251
                 : 1250;
    case kAzerbaijani:
    case kUzbek:
      return sublanguage == 0x02 ? 1251 : 1254;  // Cyrillic, else Latin.
    default:
      break;
  }
  for (const auto& [listed, code_page] : kByLanguage) {
    if (listed == language) return code_page;
  }
  return kWestern;
}

}  // namespace tessaly
