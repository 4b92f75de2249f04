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

// Exit statuses. Each message has Windows' own code for what it says,
// which `net helpmsg` explains; the report has 1, whatever failed.
constexpr int kExitEditorStarted = 0;
constexpr int kExitFailureReported = 1;
constexpr int kExitFileNotFound = ERROR_FILE_NOT_FOUND;        // 2
constexpr int kExitMissingArgument = ERROR_INVALID_PARAMETER;  // 87

int ExitStatus(ModAsciiConvert::Outcome outcome) {
  switch (outcome) {
    case ModAsciiConvert::Outcome::kMissingArgument:
      return kExitMissingArgument;
    case ModAsciiConvert::Outcome::kFileNotFound:
      return kExitFileNotFound;
    case ModAsciiConvert::Outcome::kEditorStarted:
      break;
  }
  return kExitEditorStarted;
}

std::wstring ErrorNumber(DWORD error) {
  // HRESULTs read best in hex, plain system codes in decimal.
  if (error <= 0xFFFF) return std::to_wstring(error);
  std::wstring hex = L"0x";
  for (int shift = 28; shift >= 0; shift -= 4) {
    hex += L"0123456789ABCDEF"[(error >> shift) & 0xF];
  }
  return hex;
}

// Shows the report of an unhandled failure; the run-time's language is
// German.
void ReportFailure(std::wstring_view operation, DWORD error) {
  const std::wstring text = L"Laufzeitfehler " + ErrorNumber(error) +
                            L"\r\n\r\n" + DescribeFailure(operation, error);
  try {
    ShowSystemMessageBox(text.c_str(), MB_OK | MB_ICONERROR);
  } catch (const ServiceError&) {
    // There is no other way left to tell the user; the exit status says it.
  }
}

std::wstring_view WideView(const Text& text) {
  return std::wstring_view(Wide(text), text.size());
}

int RunMain() {
  Win32CommandLine command_line;
  Win32MessageBox message_box;
  Win32HelperComponent component;
  ModAsciiConvert::SharedHelpers shared;
  std::wstring operation;
  DWORD error = ERROR_SUCCESS;
  try {
    return ExitStatus(
        ModAsciiConvert::Main({command_line, message_box, component, shared}));
  } catch (const ServiceError& failure) {
    operation = WideView(failure.operation());
    error = failure.system_code();
  } catch (const std::bad_alloc&) {
    operation = L"Speicher anfordern";
    error = ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::length_error&) {
    operation = L"Speicher anfordern";
    error = ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::exception&) {
    operation = L"Interner Fehler";
    error = ERROR_INTERNAL_ERROR;
  }
  // A failed run leaves no scratch file behind; the report, shown after,
  // names the failure that ended it.
  component.RemoveUnusedScratchFiles();
  ReportFailure(operation, error);
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
