// The program's run-time: enters Main and reports what Main does not handle.
#include <new>
#include <stdexcept>
#include <string>

#include "app/mod_ascii_convert.h"
#include "services/service_error.h"
#include "services/text.h"
#include "win32/command_line.h"
#include "win32/failure.h"
#include "win32/helper_component.h"
#include "win32/message_box.h"
#include "win32/operation_texts.h"
#include "win32/support.h"

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

Text ErrorNumber(DWORD error) {
  // HRESULTs read best in hex, plain system codes in decimal.
  if (error <= 0xFFFF) return FromWide(std::to_wstring(error));
  Text hex = u"0x";
  AppendHex(hex, error, HexCase::kUpper);
  return hex;
}

// Shows the report of an unhandled failure; the run-time's language is
// German.
void ReportFailure(const Text& operation, DWORD error) {
  const Text text = Text(operation_texts::kRunTimeError) + u' ' +
                    ErrorNumber(error) + u"\r\n\r\n" +
                    DescribeFailure(operation, error);
  try {
    ShowSystemMessageBox(Wide(text), MB_OK | MB_ICONERROR);
  } catch (const ServiceError&) {
    // There is no other way left to tell the user; the exit status says it.
  }
}

int RunMain() {
  Win32CommandLine command_line;
  Win32MessageBox message_box;
  Win32HelperComponent component;
  ModAsciiConvert::SharedHelpers shared;
  Text operation;
  DWORD error = ERROR_SUCCESS;
  try {
    return ExitStatus(
        ModAsciiConvert::Main({command_line, message_box, component, shared}));
  } catch (const ServiceError& failure) {
    operation = failure.operation();
    error = failure.system_code();
  } catch (const std::bad_alloc&) {
    operation = operation_texts::kOutOfMemory;
    error = ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::length_error&) {
    operation = operation_texts::kOutOfMemory;
    error = ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::exception&) {
    operation = operation_texts::kInternalError;
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
