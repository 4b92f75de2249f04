#include "services/private_security_win32.h"

// After windows.h, which they need.
#include <accctrl.h>
#include <sddl.h>

namespace tessaly {
namespace {

constexpr char16_t kOperation[] = u"Hilfsdatei schützen";

using OpenProcessTokenCall = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE*);
using GetTokenInformationCall = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS,
                                              void*, DWORD, DWORD*);
using SidToStringCall = BOOL(WINAPI*)(PSID, wchar_t**);
using StringToDescriptorCall = BOOL(WINAPI*)(const wchar_t*, DWORD,
                                             PSECURITY_DESCRIPTOR*, ULONG*);
using GetSecurityInfoCall = DWORD(WINAPI*)(HANDLE, SE_OBJECT_TYPE,
                                           SECURITY_INFORMATION, PSID*, PSID*,
                                           PACL*, PACL*, PSECURITY_DESCRIPTOR*);

// A SID's bytes: its revision, the count of its sub-authorities, its
// 6-byte authority, then the sub-authorities of 4 bytes each.
std::vector<BYTE> SidBytes(const void* sid) {
  const auto* bytes = static_cast<const BYTE*>(sid);
  return std::vector<BYTE>(bytes, bytes + 8 + 4 * bytes[1]);
}

// The SID that this process's token holds as its user or its owner.
std::vector<BYTE> ProcessTokenSid(HMODULE advapi,
                                  TOKEN_INFORMATION_CLASS kind) {
  const auto open_process_token = SystemFunction<OpenProcessTokenCall>(
      advapi, "OpenProcessToken", kOperation);
  const auto get_token_information = SystemFunction<GetTokenInformationCall>(
      advapi, "GetTokenInformation", kOperation);
  HANDLE opened = nullptr;
  if (!open_process_token(::GetCurrentProcess(), TOKEN_QUERY, &opened)) {
    const DWORD error = ::GetLastError();
    Fail(error, kOperation);
  }
  const UniqueHandle token(opened);
  DWORD size = 0;
  get_token_information(token.get(), kind, nullptr, 0, &size);
  // Pointer-aligned: the SID pointer comes first.
  std::vector<void*> buffer(size / sizeof(void*) + 1);
  if (!get_token_information(token.get(), kind, buffer.data(),
                             static_cast<DWORD>(buffer.size() * sizeof(void*)),
                             &size)) {
    const DWORD error = ::GetLastError();
    Fail(error, kOperation);
  }
  // TOKEN_USER and TOKEN_OWNER both begin with the SID's address.
  return SidBytes(buffer[0]);
}

std::wstring SidText(SidToStringCall sid_to_string, std::vector<BYTE>& sid) {
  wchar_t* text = nullptr;
  if (!sid_to_string(sid.data(), &text)) {
    const DWORD error = ::GetLastError();
    Fail(error, kOperation);
  }
  std::wstring copied(text);
  ::LocalFree(text);
  return copied;
}

}  // namespace

PrivateSecurity::PrivateSecurity(const TokenQuery& token)
    : advapi_(LoadSystemLibrary(L"advapi32.dll", kOperation)) {
  user_sid_ =
      token ? token(TokenUser) : ProcessTokenSid(advapi_.get(), TokenUser);
  if (user_sid_.size() < 8) Fail(ERROR_INVALID_SID, kOperation);
  const std::wstring user =
      SidText(SystemFunction<SidToStringCall>(
                  advapi_.get(), "ConvertSidToStringSidW", kOperation),
              user_sid_);
  // Owner: the user. DACL: protected ("P"), so nothing is inherited; full
  // access ("FA") for the user and for SYSTEM ("SY").
  const std::wstring sddl =
      L"O:" + user + L"D:P(A;;FA;;;" + user + L")(A;;FA;;;SY)";
  const auto string_to_descriptor = SystemFunction<StringToDescriptorCall>(
      advapi_.get(), "ConvertStringSecurityDescriptorToSecurityDescriptorW",
      kOperation);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!string_to_descriptor(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                            nullptr)) {
    const DWORD error = ::GetLastError();
    Fail(error, kOperation);
  }
  descriptor_.reset(descriptor);
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor;
  attributes_.bInheritHandle = FALSE;
}

bool PrivateSecurity::OwnedByUser(HANDLE file) const {
  const auto get_security_info = SystemFunction<GetSecurityInfoCall>(
      advapi_.get(), "GetSecurityInfo", kOperation);
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (get_security_info(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                        &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool owned = owner != nullptr && SidBytes(owner) == user_sid_;
  ::LocalFree(descriptor);
  return owned;
}

}  // namespace tessaly
