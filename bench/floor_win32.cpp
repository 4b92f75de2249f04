// The least that any run holding the converted text must do, the floor
// that the whole-run benchmark holds Tessaly against: read the file once,
// first touch every page of a text as long as its conversion (no decoding,
// no widening), write that text to a new file in the temp folder, and start
// the Windows folder's Notepad on it, as Tessaly does.
//
//   floor.exe FILE
//
// Exits 0, or 1 where any step failed, saying which.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "win32/handles.h"

namespace {

// The sizes Tessaly reads and writes in.
constexpr DWORD kReadBytes = 2 << 20;
constexpr DWORD kWriteBytes = 16 << 20;

int Failed(const char* step) {
  std::fprintf(stderr, "floor: %s failed: %lu\n", step, ::GetLastError());
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: floor.exe FILE\n");
    return 2;
  }
  tessaly::UniqueHandle input = tessaly::OwnHandle(::CreateFileW(
      argv[1], GENERIC_READ,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (input == nullptr) return Failed("opening the file");
  // One pass, counting what the converted text's length needs: UTF-8
  // characters below U+10000 (every byte but continuation bytes) and line
  // feeds.
  std::vector<char> buffer(kReadBytes);
  std::size_t units = 0;
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(input.get(), buffer.data(), kReadBytes, &read, nullptr)) {
      return Failed("reading");
    }
    if (read == 0) break;
    for (DWORD i = 0; i < read; ++i) {
      const auto byte = static_cast<unsigned char>(buffer[i]);
      units += ((byte & 0xC0) != 0x80) + (byte == '\n');
    }
  }
  input.reset();

  const std::size_t text_bytes = units * sizeof(wchar_t);
  auto* text = static_cast<char*>(::VirtualAlloc(
      nullptr, text_bytes + 1, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  if (text == nullptr) return Failed("allocating the text");
  std::memset(text, 'a', text_bytes);

  wchar_t temp[MAX_PATH + 1];
  const DWORD temp_length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (temp_length == 0 || temp_length > MAX_PATH) {
    return Failed("finding the temp folder");
  }
  const std::wstring copy = std::wstring(temp, temp_length) + L"floor-" +
                            std::to_wstring(::GetCurrentProcessId()) + L".txt";
  tessaly::UniqueHandle output = tessaly::OwnHandle(
      ::CreateFileW(copy.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (output == nullptr) return Failed("creating the copy");
  for (std::size_t done = 0; done < text_bytes;) {
    const DWORD chunk = static_cast<DWORD>(
        std::min<std::size_t>(text_bytes - done, kWriteBytes));
    DWORD written = 0;
    if (!::WriteFile(output.get(), text + done, chunk, &written, nullptr) ||
        written == 0) {
      return Failed("writing");
    }
    done += written;
  }
  output.reset();
  ::VirtualFree(text, 0, MEM_RELEASE);

  wchar_t windows[MAX_PATH + 1];
  const UINT windows_length = ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (windows_length == 0 || windows_length > MAX_PATH) {
    return Failed("finding the Windows folder");
  }
  const std::wstring editor =
      std::wstring(windows, windows_length) + L"\\notepad.exe";
  std::wstring command_line = L"\"" + editor + L"\" \"" + copy + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(editor.c_str(), command_line.data(), nullptr, nullptr,
                        FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return Failed("starting the editor");
  }
  // The editor is left to run.
  const tessaly::UniqueHandle thread(process.hThread);
  const tessaly::UniqueHandle editor_process(process.hProcess);
  return 0;
}
