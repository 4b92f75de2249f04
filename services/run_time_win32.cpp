// The program's run-time: enters Main and reports what Main does not handle.
#include <new>
#include <stdexcept>
#include <string>

#include "app/mod_ascii_convert.h"
#include "resources/names.h"
#include "services/service_error.h"
#include "services/services_win32.h"
#include "services/win32_support_win32.h"

namespace tessaly {
namespace {

constexpr int kExitFailureReported = 1;

std::wstring ErrorNumber(DWORD error) {
  // HRESULTs read best in hex, plain system codes in decimal.
  if (error <= 0xFFFF) return std::to_wstring(error);
  wchar_t hex[11];
  ::wsprintfW(hex, L"0x%08X", error);
  return hex;
}

// Shows the report of an unhandled failure; the run-time's language is
// German.
void ReportFailure(std::wstring_view operation, DWORD error) {
  const std::wstring text = L"Laufzeitfehler " + ErrorNumber(error) +
                            L"\r\n\r\n" + DescribeFailure(operation, error);
  ::MessageBoxW(nullptr, text.c_str(), L"" TESSALY_APP_TITLE,
                MB_OK | MB_ICONERROR);
}

std::wstring_view WideView(const Text& text) {
  return std::wstring_view(Wide(text), text.size());
}

int RunMain() {
  Win32CommandLine command_line;
  Win32MessageBox message_box;
  Win32HelperComponent component;
  ModAsciiConvert::SharedHelpers shared;
  try {
    ModAsciiConvert::Main({command_line, message_box, component, shared});
    return 0;
  } catch (const ServiceError& failure) {
    ReportFailure(WideView(failure.operation()), failure.system_code());
  } catch (const std::bad_alloc&) {
    ReportFailure(L"Speicher anfordern", ERROR_NOT_ENOUGH_MEMORY);
  } catch (const std::length_error&) {
    ReportFailure(L"Speicher anfordern", ERROR_NOT_ENOUGH_MEMORY);
  } catch (const std::exception&) {
    ReportFailure(L"Interner Fehler", ERROR_INTERNAL_ERROR);
  }
  return kExitFailureReported;
}

}  // namespace
}  // namespace tessaly

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Load DLLs only from System32, never from the current or program folder.
  // Looked up rather than imported: Vista and an unpatched Windows 7 lack
  // it, and the program must still start there.
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  const auto set_default_dll_directories =
      reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(::GetProcAddress(
          ::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set_default_dll_directories != nullptr) {
    set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  return tessaly::RunMain();
}
