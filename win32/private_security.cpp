#include "win32/private_security.h"

// After windows.h, which they need.
#include <accctrl.h>
#include <sddl.h>

#include <utility>

#include "win32/operation_texts.h"

namespace tessaly {
namespace {

constexpr auto& kOperation = operation_texts::kProtectScratchFile;

using OpenProcessTokenCall = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE*);
using GetTokenInformationCall = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS,
                                              void*, DWORD, DWORD*);
using SidToStringCall = BOOL(WINAPI*)(PSID, wchar_t**);
using StringToDescriptorCall = BOOL(WINAPI*)(const wchar_t*, DWORD,
                                             PSECURITY_DESCRIPTOR*, ULONG*);
using GetSecurityInfoCall = DWORD(WINAPI*)(HANDLE, SE_OBJECT_TYPE,
                                           SECURITY_INFORMATION, PSID*, PSID*,
                                           PACL*, PACL*, PSECURITY_DESCRIPTOR*);
using GetAceCall = BOOL(WINAPI*)(PACL, DWORD, void**);

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
    FailLastError(kOperation);
  }
  const UniqueHandle token(opened);
  DWORD size = 0;
  get_token_information(token.get(), kind, nullptr, 0, &size);
  // Pointer-aligned: the SID pointer comes first.
  std::vector<void*> buffer(size / sizeof(void*) + 1);
  if (!get_token_information(token.get(), kind, buffer.data(),
                             static_cast<DWORD>(buffer.size() * sizeof(void*)),
                             &size)) {
    FailLastError(kOperation);
  }
  // TOKEN_USER and TOKEN_OWNER both begin with the SID's address.
  return SidBytes(buffer[0]);
}

std::wstring SidText(SidToStringCall sid_to_string, std::vector<BYTE>& sid) {
  wchar_t* text = nullptr;
  if (!sid_to_string(sid.data(), &text)) {
    FailLastError(kOperation);
  }
  const UniqueLocal owned(text);
  return std::wstring(text);
}

SECURITY_ATTRIBUTES AttributesFor(void* descriptor) {
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor;
  attributes.bInheritHandle = FALSE;
  return attributes;
}

}  // namespace

bool VolumeKeepsAcls(HANDLE file) {
  DWORD flags = 0;
  if (!::GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr,
                                       &flags, nullptr, 0)) {
    return true;
  }
  return (flags & FILE_PERSISTENT_ACLS) != 0;
}

PrivateSecurity::PrivateSecurity(const TokenQuery& token,
                                 VolumeQuery keeps_acls)
    : advapi_(LoadSystemLibrary(L"advapi32.dll", kOperation)),
      keeps_acls_(std::move(keeps_acls)) {
  user_sid_ =
      token ? token(TokenUser) : ProcessTokenSid(advapi_.get(), TokenUser);
  if (user_sid_.size() < 8) Fail(ERROR_INVALID_SID, kOperation);
  const std::wstring user =
      SidText(SystemFunction<SidToStringCall>(
                  advapi_.get(), "ConvertSidToStringSidW", kOperation),
              user_sid_);
  // DACL: protected ("P"), so nothing is inherited; full access ("FA") for
  // the user and for SYSTEM ("SY"). Owner: the user.
  const std::wstring dacl = L"D:P(A;;FA;;;" + user + L")(A;;FA;;;SY)";
  descriptor_ = Descriptor(L"O:" + user + dacl);
  // Where the owner is left to the file system, as on a share reached as
  // another account, the DACL must also let in that owner, or the server
  // denies the editor's open by the account it knows the connection as:
  // anyone not in a DACL is denied. OWNER RIGHTS ("OW", S-1-3-4, from
  // Windows Vista on) stands for whoever owns the file, so it names the
  // owner given without knowing it. That lets in everyone who reaches the
  // share as that account: where many people share one server account,
  // or the owner given is a group such as Administrators, all of them.
  // The user's own entry, which no other person's copy carries, is what
  // still tells this user's copies from theirs (CountsAsUsersOwn).
  descriptor_without_owner_ = Descriptor(dacl + L"(A;;FA;;;OW)");
  attributes_ = AttributesFor(descriptor_.get());
  attributes_without_owner_ = AttributesFor(descriptor_without_owner_.get());
}

PrivateSecurity::UniqueDescriptor PrivateSecurity::Descriptor(
    const std::wstring& sddl) const {
  const auto string_to_descriptor = SystemFunction<StringToDescriptorCall>(
      advapi_.get(), "ConvertStringSecurityDescriptorToSecurityDescriptorW",
      kOperation);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!string_to_descriptor(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                            nullptr)) {
    FailLastError(kOperation);
  }
  return UniqueDescriptor(descriptor);
}

std::vector<BYTE> PrivateSecurity::OwnerOf(HANDLE file) const {
  const auto get_security_info = SystemFunction<GetSecurityInfoCall>(
      advapi_.get(), "GetSecurityInfo", kOperation);
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (get_security_info(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                        &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
    return {};
  }
  const UniqueLocal owned(descriptor);
  if (owner == nullptr) return {};
  return SidBytes(owner);
}

bool PrivateSecurity::GrantsUserExplicitly(HANDLE file) const {
  const auto get_security_info = SystemFunction<GetSecurityInfoCall>(
      advapi_.get(), "GetSecurityInfo", kOperation);
  const auto get_ace =
      SystemFunction<GetAceCall>(advapi_.get(), "GetAce", kOperation);
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (get_security_info(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, &dacl, nullptr,
                        &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueDescriptor held(descriptor);
  // No DACL at all lets everyone in, and names nobody.
  if (dacl == nullptr) return false;
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* entry = nullptr;
    if (!get_ace(dacl, index, &entry)) return false;
    const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    // Passed on by the folder, an entry says nothing of who made the file:
    // every copy in that folder has it.
    if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
        (ace->Header.AceFlags & (INHERITED_ACE | INHERIT_ONLY_ACE)) == 0 &&
        SidBytes(&ace->SidStart) == user_sid_) {
      return true;
    }
  }
  return false;
}

bool PrivateSecurity::CountsAsUsersOwn(
    HANDLE file, const std::vector<BYTE>& run_owner) const {
  if (!keeps_acls_(file)) return true;
  const std::vector<BYTE> owner = OwnerOf(file);
  if (owner.empty()) return false;
  if (owner == user_sid_) return true;
  // The owner given may stand for many people, so it is the user's only
  // with the user's own entry, as every copy of this program has.
  return !run_owner.empty() && owner == run_owner && GrantsUserExplicitly(file);
}

}  // namespace tessaly
