// What the Win32 services share: owned handles, text conversion between our
// Text and the wide strings of the API, and the one way failures are raised.
#ifndef TESSALY_SERVICES_WIN32_SUPPORT_WIN32_H_
#define TESSALY_SERVICES_WIN32_SUPPORT_WIN32_H_

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "services/text.h"

namespace tessaly {

static_assert(sizeof(wchar_t) == sizeof(char16_t),
              "Win32 wide strings are UTF-16");

struct HandleCloser {
  void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
struct FindCloser {
  void operator()(HANDLE handle) const { ::FindClose(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;
using UniqueFindHandle = std::unique_ptr<void, FindCloser>;

/// Takes ownership of a handle from an API that reports failure either as
/// null or as INVALID_HANDLE_VALUE; both become an empty UniqueHandle.
inline UniqueHandle OwnHandle(HANDLE handle) {
  return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

inline const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline Text FromWide(std::wstring_view wide) {
  return Text(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

/// "operation: the system's description of `error`", the description in
/// German where the system has it, trimmed of its line break, and the bare
/// number where the system has none.
std::wstring DescribeFailure(std::wstring_view operation, DWORD error);

/// Raises a failure. `error` must be the code saved straight after the call
/// that failed.
[[noreturn]] void Fail(DWORD error, std::u16string_view operation,
                       const Text& subject = Text());

}  // namespace tessaly

#endif  // TESSALY_SERVICES_WIN32_SUPPORT_WIN32_H_
