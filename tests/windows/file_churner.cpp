// Changes a file for a while, as another program would while Tessaly reads
// it: file_churner MODE PATH MILLISECONDS.
//   append   appends lines, then truncates the file back to its first size,
//            again and again;
//   rewrite  writes the second half of the file over its first half and
//            back, again and again, so that it holds one or the other.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace {

constexpr char kAppendedLine[] = "appended line\n";

bool WriteAt(HANDLE file, LONGLONG offset, const std::string& bytes) {
  LARGE_INTEGER position;
  position.QuadPart = offset;
  DWORD written = 0;
  return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) &&
         ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                     &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 2;
  const std::wstring mode = argv[1];
  const tessaly::UniqueHandle owned = tessaly::OwnHandle(
      ::CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (owned == nullptr) return 3;
  const HANDLE file = owned.get();
  const ULONGLONG until =
      ::GetTickCount64() + std::wcstoul(argv[3], nullptr, 10);
  LARGE_INTEGER size;
  ::GetFileSizeEx(file, &size);

  std::string halves[2];
  if (mode == L"rewrite") {
    std::string whole(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    ::ReadFile(file, whole.data(), static_cast<DWORD>(whole.size()), &read,
               nullptr);
    halves[0] = whole.substr(0, whole.size() / 2);
    halves[1] = whole.substr(whole.size() / 2);
  }
  int rounds = 0;
  for (; ::GetTickCount64() < until; ++rounds) {
    if (mode == L"append") {
      for (int line = 0; line < 20; ++line) {
        if (!WriteAt(file, size.QuadPart + line * (sizeof kAppendedLine - 1),
                     kAppendedLine)) {
          return 4;
        }
      }
      if (!::SetFilePointerEx(file, size, nullptr, FILE_BEGIN) ||
          !::SetEndOfFile(file)) {
        return 4;
      }
    } else if (!WriteAt(file, 0, halves[(rounds + 1) % 2]) ||
               !WriteAt(file, static_cast<LONGLONG>(halves[0].size()),
                        halves[rounds % 2])) {
      return 4;
    }
  }
  return rounds > 0 ? 0 : 5;
}
