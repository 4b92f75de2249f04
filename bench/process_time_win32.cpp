// Times a process from inside Wine, as the whole-run benchmark needs it:
// from just before it is created until it has ended, so that the figure
// holds no start-up of Wine itself.
//
//   process_time.exe COMMAND LINE...
//
// Runs the command line that follows its own name and prints the seconds
// it took. Its exit status is the command's, or 255 if it could not start.
#include <windows.h>

#include <cstdio>
#include <string>

#include "win32/handles.h"

namespace {

// What follows this program's own name on its command line.
std::wstring CommandAfterOwnName() {
  const std::wstring line = ::GetCommandLineW();
  std::size_t at = 0;
  if (!line.empty() && line[0] == L'"') {
    at = line.find(L'"', 1);
    at = at == std::wstring::npos ? line.size() : at + 1;
  } else {
    at = line.find_first_of(L" \t");
    if (at == std::wstring::npos) at = line.size();
  }
  const std::size_t start = line.find_first_not_of(L" \t", at);
  return start == std::wstring::npos ? std::wstring() : line.substr(start);
}

}  // namespace

int main() {
  std::wstring command = CommandAfterOwnName();
  LARGE_INTEGER frequency, started, ended;
  ::QueryPerformanceFrequency(&frequency);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ::QueryPerformanceCounter(&started);
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "cannot start: %lu\n", ::GetLastError());
    return 255;
  }
  const tessaly::UniqueHandle thread(process.hThread);
  const tessaly::UniqueHandle child(process.hProcess);
  ::WaitForSingleObject(child.get(), INFINITE);
  ::QueryPerformanceCounter(&ended);
  DWORD status = 255;
  ::GetExitCodeProcess(child.get(), &status);
  std::printf("%.4f\n", static_cast<double>(ended.QuadPart - started.QuadPart) /
                            static_cast<double>(frequency.QuadPart));
  return static_cast<int>(status);
}
