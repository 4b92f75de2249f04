#include "tests/windows/test_files_win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cwchar>
// After windows.h, which it needs.
#include <aclapi.h>
#include <sddl.h>

#include "win32/handles.h"

namespace tessaly::testing {
namespace {

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const HANDLE first = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (first != INVALID_HANDLE_VALUE) {
    // Closed before the folder is removed, which it holds open.
    const UniqueFindHandle search(first);
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L'\\' + name;
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(search.get(), &found));
  }
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace

bool StartProcess(const std::wstring& program, std::wstring command_line,
                  DWORD flags, const wchar_t* folder,
                  PROCESS_INFORMATION& process) {
  constexpr int kStarts = 3;
  for (int start = 1; start <= kStarts; ++start) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (::CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr,
                         FALSE, flags, nullptr, folder, &startup, &process)) {
      return true;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_INTERNAL_ERROR || start == kStarts) {
      ::SetLastError(error);
      return false;
    }
    std::fprintf(stderr,
                 "Wine failed to start a program (error 1359, before any of "
                 "its code ran); starting it again (%d of %d)\n",
                 start + 1, kStarts);
  }
  return false;
}

bool StartUnixProgram(const std::wstring& folder, std::wstring command_line) {
  std::wstring program =
      L"Z:" + command_line.substr(0, command_line.find(L' '));
  for (wchar_t& unit : program) {
    if (unit == L'/') unit = L'\\';
  }
  PROCESS_INFORMATION process = {};
  if (!StartProcess(program, command_line, 0, folder.c_str(), process)) {
    return false;
  }
  // Not waited on, so given up at once.
  const UniqueHandle thread(process.hThread);
  const UniqueHandle started(process.hProcess);
  return true;
}

bool PlantLink(const std::wstring& folder, const std::wstring& link_name,
               const std::wstring& target_name) {
  if (!StartUnixProgram(folder,
                        L"/bin/ln -s " + target_name + L' ' + link_name)) {
    return false;
  }
  const std::wstring link =
      folder + (folder.back() == L'\\' ? L"" : L"\\") + link_name;
  for (int i = 0; i < 250; ++i) {
    if (::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
      return true;
    }
    ::Sleep(20);
  }
  return false;
}

std::vector<std::wstring> ScratchFilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  const HANDLE first =
      ::FindFirstFileW((folder + L"\\*Tessaly*.txt").c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) return names;
  const UniqueFindHandle search(first);
  do {
    names.push_back(found.cFileName);
  } while (::FindNextFileW(search.get(), &found));
  return names;
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  return std::wstring(buffer, length);
}

ScopedFolder::ScopedFolder() {
  static std::atomic<int> counter{0};
  path_ = TempFolder() + L"tessaly-test-" +
          std::to_wstring(::GetCurrentProcessId()) + L'-' +
          std::to_wstring(counter++);
  RemoveTree(path_);
  if (!::CreateDirectoryW(path_.c_str(), nullptr)) {
    ADD_FAILURE() << "cannot create a test folder: " << ::GetLastError();
  }
}

ScopedFolder::~ScopedFolder() { RemoveTree(path_); }

EditorRecords::EditorRecords() {
  ::SetEnvironmentVariableW(L"TESSALY_RECORD_DIR", folder_.path().c_str());
}

EditorRecords::~EditorRecords() {
  ::SetEnvironmentVariableW(L"TESSALY_RECORD_DIR", nullptr);
}

std::string EditorRecords::Read(DWORD process_id,
                                std::wstring_view kind) const {
  // A record that is not there reads as empty; every record that a test
  // expects holds something.
  const std::wstring path =
      folder_ / (std::to_wstring(process_id) + std::wstring(kind));
  return Exists(path) ? ReadBytes(path) : std::string();
}

std::vector<DWORD> EditorRecords::Starts() const {
  std::vector<DWORD> starts;
  WIN32_FIND_DATAW found;
  const HANDLE first =
      ::FindFirstFileW((folder_ / L"*.cmdline").c_str(), &found);
  if (first == INVALID_HANDLE_VALUE) return starts;
  const UniqueFindHandle search(first);
  do {
    starts.push_back(std::wcstoul(found.cFileName, nullptr, 10));
  } while (::FindNextFileW(search.get(), &found));
  return starts;
}

void WriteBytes(const std::wstring& path, std::string_view bytes) {
  const UniqueHandle file =
      OwnHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(file, nullptr) << ::GetLastError();
  DWORD written = 0;
  const BOOL ok =
      ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                  &written, nullptr);
  ASSERT_TRUE(ok);
  ASSERT_EQ(written, bytes.size());
}

std::string ReadBytes(const std::wstring& path) {
  const UniqueHandle file = OwnHandle(
      ::CreateFileW(path.c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file == nullptr) {
    ADD_FAILURE() << "cannot open a file: " << ::GetLastError();
    return {};
  }
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) &&
         read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FILETIME LastWriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  EXPECT_TRUE(
      ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
  return data.ftLastWriteTime;
}

void SetLastWriteTime(const std::wstring& path, FILETIME time) {
  const UniqueHandle file = OwnHandle(
      ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(file, nullptr) << ::GetLastError();
  EXPECT_TRUE(::SetFileTime(file.get(), nullptr, nullptr, &time));
}

FILETIME HoursAgo(int hours) {
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks;
  ticks.LowPart = now.dwLowDateTime;
  ticks.HighPart = now.dwHighDateTime;
  ticks.QuadPart -= static_cast<ULONGLONG>(hours) * 36'000'000'000ULL;
  return {ticks.LowPart, ticks.HighPart};
}

void OwnAsUser(const std::wstring& path) {
  HANDLE opened = nullptr;
  ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened));
  const UniqueHandle token(opened);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<void*> user(size / sizeof(void*) + 1);
  ASSERT_TRUE(::GetTokenInformation(
      token.get(), TokenUser, user.data(),
      static_cast<DWORD>(user.size() * sizeof(void*)), &size));
  EXPECT_EQ(::SetNamedSecurityInfoW(
                const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                OWNER_SECURITY_INFORMATION,
                reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, nullptr,
                nullptr, nullptr),
            DWORD{ERROR_SUCCESS});
}

void AgeAsCopy(const std::wstring& path, int hours) {
  OwnAsUser(path);
  SetLastWriteTime(path, HoursAgo(hours));
  EXPECT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
}

void RemoveFile(const std::wstring& path) {
  ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::DeleteFileW(path.c_str());
}

std::vector<BYTE> SidOf(const std::wstring& text) {
  PSID converted = nullptr;
  EXPECT_TRUE(::ConvertStringSidToSidW(text.c_str(), &converted));
  const UniqueLocal owned(converted);
  const auto* bytes = static_cast<const BYTE*>(converted);
  return std::vector<BYTE>(bytes, bytes + ::GetLengthSid(converted));
}

std::wstring Sddl(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION parts) {
  wchar_t* text = nullptr;
  EXPECT_TRUE(::ConvertSecurityDescriptorToStringSecurityDescriptorW(
      descriptor, SDDL_REVISION_1, parts, &text, nullptr));
  const UniqueLocal owned(text);
  return std::wstring(text);
}

UniqueLocal Descriptor(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR made = nullptr;
  EXPECT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
      sddl.c_str(), SDDL_REVISION_1, &made, nullptr));
  return UniqueLocal(made);
}

std::string LittleEndianBytes(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string LittleEndianBytes(std::wstring_view text) {
  return LittleEndianBytes(std::u16string_view(
      reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

}  // namespace tessaly::testing
