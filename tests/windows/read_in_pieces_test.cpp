// Reading a file in pieces: with small pieces, piece ends fall inside every
// kind of character of every encoding, and the text must still be exactly
// what decoding the whole file at once gives. And a file that another
// program changes while it is read gives the text of a state it was in, or
// the report, never anything else.
#include <gtest/gtest.h>

#include <cwchar>
#include <iostream>
#include <random>
#include <set>

#include "services/service_error.h"
#include "tests/windows/test_files_win32.h"
#include "text/utf8.h"
#include "win32/file_helper.h"
#include "win32/handles.h"
#include "win32/support.h"

namespace tessaly::testing {
namespace {

Text T(const std::wstring& wide) { return FromWide(wide); }

// The whole file decoded at once, as a code page decoder sees it.
std::u16string DecodeWhole(UINT code_page, const std::string& bytes) {
  if (bytes.empty()) return u"";
  const int size = ::MultiByteToWideChar(
      code_page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::u16string text(static_cast<std::size_t>(size), u'\0');
  ::MultiByteToWideChar(code_page, 0, bytes.data(),
                        static_cast<int>(bytes.size()),
                        reinterpret_cast<wchar_t*>(text.data()), size);
  return text;
}

std::string Encode(UINT code_page, const std::wstring& text) {
  const int size = ::WideCharToMultiByte(code_page, 0, text.data(),
                                         static_cast<int>(text.size()), nullptr,
                                         0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(code_page, 0, text.data(),
                        static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
  return bytes;
}

// Reads `bytes` from a file with every piece size from 1 to 40 and expects
// `expected` each time.
void ExpectEveryPieceSizeReads(const std::string& bytes,
                               const std::u16string& expected,
                               UINT ansi_code_page, const char* what) {
  ScopedFolder folder;
  const std::wstring path = folder / L"in.txt";
  WriteBytes(path, bytes);
  for (std::size_t piece = 1; piece <= 40; ++piece) {
    Win32FileHelper files(piece, ansi_code_page);
    const Text text = files.ReadTextFile(T(path));
    ASSERT_EQ(LittleEndianBytes(text), LittleEndianBytes(expected))
        << what << ", pieces of " << piece;
  }
}

// Double-byte characters whose second byte is an ASCII letter or a
// backslash, single-byte katakana, and line ends, in each East Asian code
// page.
const struct {
  UINT code_page;
  const wchar_t* text;
} kDoubleByteTexts[] = {
    {932,
     L"\u8868\u30bd\u80fd\\n\uff76\uff80\uff76\uff85 A\u65e5\u672c\u8a9e\n"
     L"\u30c6\u30ad\u30b9\u30c8\r\n\u6f22\u5b57x\n"},
    {936, L"\u4e2d\u6587\u6587\u672c\nA\u6c49\u5b57\r\n\u4e02\u4e04x\n"},
    {949, L"\ud55c\uad6d\uc5b4 \ud14d\uc2a4\ud2b8\n\uac02A\uac03\r\n"},
    {950, L"\u7e41\u9ad4\u4e2d\u6587\n\u529f\u8a31A\u6e2c\u8a66\r\n"},
};

TEST(ReadInPiecesTest, PieceEndsInsideCharactersChangeNothing) {
  using namespace std::string_literals;
  const std::string utf8 =
      "\xD0\x96\n\xE4\xB8\xAD\xF0\x9F\x98\x80 line\nend\xE2\x82\xAC"
      "0123456789abcdefghij\xC3\xA4\n";
  ExpectEveryPieceSizeReads(
      utf8, u"Ж\n中\U0001F600 line\nend€0123456789abcdefghijä\n", 0,
      "UTF-8 without a mark");
  const std::string broken =
      "\xEF\xBB\xBF"
      "a\xE0\x41\xF0\x90\x41\xC2\xE0\xE0\x41\x80\x80\xF8\n"
      "\xED\xA0\x80\xF0\x9F\x98\x80\xF0\x9F";
  ExpectEveryPieceSizeReads(broken, DecodeWhole(CP_UTF8, broken.substr(3)), 0,
                            "broken UTF-8 after a mark");
  const std::u16string wide = u"a\U0001F600b\nЖ\U00010348\n\xD800x";
  ExpectEveryPieceSizeReads("\xFF\xFE" + LittleEndianBytes(wide), wide, 0,
                            "UTF-16LE");
  std::string big_endian = "\xFE\xFF";
  for (const char16_t unit : wide) {
    big_endian += static_cast<char>(unit >> 8);
    big_endian += static_cast<char>(unit & 0xFF);
  }
  ExpectEveryPieceSizeReads(big_endian, wide, 0, "UTF-16BE");
  ExpectEveryPieceSizeReads(big_endian + "z", wide + u'\xFFFD', 0,
                            "UTF-16BE, odd length");
  const std::string western =
      "Gr\xFC\xDF"
      "e\n\x80 x\n";
  ExpectEveryPieceSizeReads(western, DecodeWhole(1252, western), 1252,
                            "Windows-1252");
  for (const auto& sample : kDoubleByteTexts) {
    const std::string bytes = Encode(sample.code_page, sample.text);
    ASSERT_FALSE(IsValidUtf8(bytes)) << sample.code_page;
    ExpectEveryPieceSizeReads(bytes, DecodeWhole(sample.code_page, bytes),
                              sample.code_page,
                              std::to_string(sample.code_page).c_str());
  }
}

// Random bytes, rich in lead bytes, line feeds and broken sequences, read
// in small pieces and decoded whole by the system: the same text.
TEST(ReadInPiecesTest, RandomBytesReadAsTheirWholeDecodes) {
  std::mt19937 random(20261207);
  const char alphabet[] =
      "\n\n\rab\\\x80\x81\x85\x9F\xA1\xBF\xC2\xDF\xE0"
      "\xE3\xED\xEF\xF0\xF4\xF8\xFE\xFF\x40\x7E\x5C";
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 2);
  std::uniform_int_distribution<std::size_t> length(0, 300);
  std::uniform_int_distribution<std::size_t> piece(1, 24);
  ScopedFolder folder;
  const std::wstring path = folder / L"random.txt";
  for (int round = 0; round < 150; ++round) {
    std::string bytes;
    for (std::size_t n = length(random); n > 0; --n) {
      bytes += alphabet[pick(random)];
    }
    // With a UTF-8 mark, broken UTF-8 goes to the UTF-8 decoder; without
    // one, to the code page's.
    const UINT code_pages[] = {CP_UTF8, 932, 936, 949, 950, 1252};
    const UINT code_page = code_pages[round % 6];
    const std::string file =
        code_page == CP_UTF8 ? "\xEF\xBB\xBF" + bytes : "#" + bytes;
    if (code_page != CP_UTF8 && IsValidUtf8(file)) continue;
    WriteBytes(path, file);
    const std::size_t piece_bytes = piece(random);
    Win32FileHelper files(piece_bytes, code_page == CP_UTF8 ? 0 : code_page);
    const std::string expected = LittleEndianBytes(
        DecodeWhole(code_page, code_page == CP_UTF8 ? bytes : file));
    ASSERT_EQ(LittleEndianBytes(files.ReadTextFile(T(path))), expected)
        << "round " << round << ", code page " << code_page << ", pieces of "
        << piece_bytes;
  }
}

// Under a Wine prefix whose ANSI code page is East Asian: the system's own
// code page is the one used, with pieces that split its characters.
TEST(AnsiCodePageTest, SystemDoubleByteCodePageReadsWhole) {
  wchar_t expected[16] = {};
  ASSERT_GT(::GetEnvironmentVariableW(L"TESSALY_EXPECT_ACP", expected, 16), 0u)
      << "run with TESSALY_EXPECT_ACP and a matching locale";
  const UINT code_page = ::GetACP();
  ASSERT_EQ(code_page, std::wcstoul(expected, nullptr, 10));
  for (const auto& sample : kDoubleByteTexts) {
    if (sample.code_page != code_page) continue;
    const std::string bytes = Encode(code_page, sample.text);
    ExpectEveryPieceSizeReads(
        bytes, std::u16string(sample.text, sample.text + wcslen(sample.text)),
        0, "the system's code page");
    return;
  }
  FAIL() << "no sample text for code page " << code_page;
}

// Starts file_churner.exe, which sits beside this program, on `path`.
class Churner {
 public:
  Churner(const wchar_t* mode, const std::wstring& path, int milliseconds) {
    wchar_t module[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring exe(module, length);
    exe = exe.substr(0, exe.find_last_of(L'\\')) + L"\\file_churner.exe";
    std::wstring command_line = L'"' + exe + L"\" " + mode + L" \"" + path +
                                L"\" " + std::to_wstring(milliseconds);
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(StartProcess(exe, command_line, 0, nullptr, process))
        << ::GetLastError();
    const UniqueHandle thread(process.hThread);
    process_.reset(process.hProcess);
  }
  bool Running() const {
    return process_ != nullptr &&
           ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
  }
  DWORD ExitStatus() const {
    ::WaitForSingleObject(process_.get(), 30000);
    DWORD status = STILL_ACTIVE;
    ::GetExitCodeProcess(process_.get(), &status);
    return status;
  }

 private:
  UniqueHandle process_;
};

struct ReadTally {
  int consistent = 0;
  int reported = 0;
};

// Reads `path` in small pieces for as long as the churner runs. Each read
// must give a text that `is_a_state` accepts, or the report that the file
// kept changing.
template <typename IsAState>
ReadTally ReadWhileChurning(const Churner& churner, const std::wstring& path,
                            IsAState is_a_state) {
  ReadTally tally;
  Win32FileHelper files(512);
  while (churner.Running()) {
    try {
      const Text text = files.ReadTextFile(T(path));
      if (!is_a_state(text)) {
        ADD_FAILURE() << "a text of no state the file was in, " << text.size()
                      << " units";
        break;
      }
      ++tally.consistent;
    } catch (const ServiceError& error) {
      EXPECT_EQ(error.system_code(), ERROR_SHARING_VIOLATION);
      ++tally.reported;
    }
  }
  EXPECT_EQ(churner.ExitStatus(), 0u) << "the churner failed";
  return tally;
}

Text Utf8Text(const std::string& bytes) {
  const std::u16string text = DecodeWhole(CP_UTF8, bytes);
  return Text(text.begin(), text.end());
}

TEST(ChangingFileTest, AppendedAndTruncatedWhileReadGivesAStateItWasIn) {
  ScopedFolder folder;
  const std::wstring path = folder / L"log.txt";
  std::string base;
  for (int line = 0; line < 1500; ++line) {
    base += "log line " + std::to_string(line) + " of the first state\n";
  }
  WriteBytes(path, base);
  const Text base_text = Utf8Text(base);
  const Text appended = u"appended line\n";
  Churner churner(L"append", path, 3000);
  const ReadTally tally =
      ReadWhileChurning(churner, path, [&](const Text& text) {
        if (!text.starts_with(base_text)) return false;
        // Whole appended lines, and perhaps the start of one more.
        for (std::size_t at = base_text.size(); at < text.size();
             at += appended.size()) {
          const Text rest = text.substr(at, appended.size());
          if (!appended.starts_with(rest)) return false;
        }
        return true;
      });
  EXPECT_GT(tally.consistent, 0);
  std::cout << "append: " << tally.consistent << " texts, " << tally.reported
            << " reports\n";
}

TEST(ChangingFileTest, RewrittenWhileReadGivesAStateItWasIn) {
  ScopedFolder folder;
  const std::wstring path = folder / L"data.txt";
  // Two halves of the same length, one ASCII and one not, that swap places
  // again and again. A write can be caught half done, so at each byte the
  // file holds the byte of either half.
  std::string halves[2];
  for (int line = 0; line < 800; ++line) {
    const std::string number = std::to_string(1000 + line);
    halves[0] += "plain ASCII line " + number + "\n";
    halves[1] += "accented \xC3\xA9 line " + number + "\n";
  }
  ASSERT_EQ(halves[0].size(), halves[1].size());
  const std::size_t half = halves[0].size();
  WriteBytes(path, halves[0] + halves[1]);
  const auto held_at_some_time = [&](const std::string& bytes) {
    if (bytes.size() != 2 * half) return false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] != halves[0][i % half] && bytes[i] != halves[1][i % half]) {
        return false;
      }
    }
    return true;
  };
  Churner churner(L"rewrite", path, 3000);
  // The text must be those bytes decoded as a whole: as UTF-8 where they
  // are valid UTF-8, in the code page (1252 here) where not.
  const ReadTally tally =
      ReadWhileChurning(churner, path, [&](const Text& text) {
        const std::wstring wide(Wide(text), text.size());
        const std::string utf8 = Encode(CP_UTF8, wide);
        if (IsValidUtf8(utf8) && held_at_some_time(utf8)) return true;
        const std::string western = Encode(1252, wide);
        return !IsValidUtf8(western) && held_at_some_time(western) &&
               DecodeWhole(1252, western) == std::u16string(text);
      });
  EXPECT_GT(tally.consistent + tally.reported, 0);
  std::cout << "rewrite: " << tally.consistent << " texts, " << tally.reported
            << " reports\n";
}

}  // namespace
}  // namespace tessaly::testing
