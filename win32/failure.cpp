#include "win32/failure.h"

#include "services/service_error.h"
#include "win32/handles.h"
#include "win32/support.h"

namespace tessaly {
namespace {

// The message table text for `error` in `language`, without its trailing
// line break, or the empty string where the system has none.
std::wstring SystemText(DWORD error, DWORD language) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, language, reinterpret_cast<wchar_t*>(&buffer), 0,
      nullptr);
  const UniqueLocal owned(buffer);
  std::wstring text;
  if (length != 0 && buffer != nullptr) text.assign(buffer, length);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

Text DescribeFailure(std::u16string_view operation, DWORD error) {
  std::wstring text =
      SystemText(error, MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
  if (text.empty()) text = SystemText(error, 0);
  if (text.empty()) text = std::to_wstring(error);
  return Text(operation) + u": " + FromWide(text);
}

void Fail(DWORD error, std::u16string_view operation, const Text& subject) {
  Text described(operation);
  if (!subject.empty()) described += u" \"" + subject + u'"';
  throw ServiceError(std::move(described), error);
}

void FailLastError(std::u16string_view operation, const Text& subject) {
  const DWORD error = ::GetLastError();
  Fail(error, operation, subject);
}

}  // namespace tessaly
