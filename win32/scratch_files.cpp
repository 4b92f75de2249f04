#include "win32/scratch_files.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "win32/operation_texts.h"

namespace tessaly {
namespace {

// FILE_ID_INFO, which the headers declare only for builds that need
// Windows 8.
struct FileIdInfo {
  ULONGLONG volume_serial_number;
  BYTE file_id[16];
};
constexpr auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);

[[noreturn]] void FailCheck(const Text& path) {
  FailLastError(operation_texts::kCheckScratchFile, path);
}

// Whether two handles are of one file. The 128-bit ID holds where the
// 64-bit index need not be unique, as on ReFS; Windows 7 has only the
// index.
bool SameFile(HANDLE a, HANDLE b, const Text& path) {
  FileIdInfo a_id;
  FileIdInfo b_id;
  if (::GetFileInformationByHandleEx(a, kFileIdInfo, &a_id, sizeof a_id) &&
      ::GetFileInformationByHandleEx(b, kFileIdInfo, &b_id, sizeof b_id)) {
    return a_id.volume_serial_number == b_id.volume_serial_number &&
           std::equal(std::begin(a_id.file_id), std::end(a_id.file_id),
                      std::begin(b_id.file_id));
  }
  BY_HANDLE_FILE_INFORMATION a_info;
  BY_HANDLE_FILE_INFORMATION b_info;
  if (!::GetFileInformationByHandle(a, &a_info)) FailCheck(path);
  if (!::GetFileInformationByHandle(b, &b_info)) FailCheck(path);
  return a_info.dwVolumeSerialNumber == b_info.dwVolumeSerialNumber &&
         a_info.nFileIndexHigh == b_info.nFileIndexHigh &&
         a_info.nFileIndexLow == b_info.nFileIndexLow;
}

}  // namespace

DWORD SetReadOnly(HANDLE file, bool read_only) {
  FILE_BASIC_INFO basic;
  if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &basic,
                                      sizeof basic)) {
    return ::GetLastError();
  }
  // Times of 0 stay as they are.
  basic.CreationTime.QuadPart = 0;
  basic.LastAccessTime.QuadPart = 0;
  basic.LastWriteTime.QuadPart = 0;
  basic.ChangeTime.QuadPart = 0;
  basic.FileAttributes = read_only
                             ? basic.FileAttributes | FILE_ATTRIBUTE_READONLY
                             : basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
  // No attribute at all would mean "leave them as they are".
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  if (!::SetFileInformationByHandle(file, FileBasicInfo, &basic,
                                    sizeof basic)) {
    return ::GetLastError();
  }
  return ERROR_SUCCESS;
}

DWORD RemoveOpenFile(HANDLE file) {
  if (const DWORD error = SetReadOnly(file, false); error != ERROR_SUCCESS) {
    return error;
  }
  FILE_DISPOSITION_INFO remove = {};
  remove.DeleteFile = TRUE;
  if (!::SetFileInformationByHandle(file, FileDispositionInfo, &remove,
                                    sizeof remove)) {
    const DWORD error = ::GetLastError();
    SetReadOnly(file, true);
    return error;
  }
  return ERROR_SUCCESS;
}

HANDLE CreateNewFile(const wchar_t* path, SECURITY_ATTRIBUTES* security) {
  // CREATE_NEW fails on any name already there, a link included, and a
  // reparse point is never followed. Others may read it, never rename or
  // remove it; DELETE is for removing it if the run fails.
  return ::CreateFileW(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE,
                       FILE_SHARE_READ, security, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

ScratchFiles::ScratchFiles(NewFileCall create_new, TokenQuery token)
    : create_new_(std::move(create_new)), token_(std::move(token)) {}

ScratchFiles::~ScratchFiles() { RemoveHeld(); }

const PrivateSecurity& ScratchFiles::Security() {
  if (!security_) security_ = std::make_unique<PrivateSecurity>(token_);
  return *security_;
}

DWORD ScratchFiles::Create(const Text& path) {
  Security();
  const auto create = [&] {
    return OwnHandle(create_new_(FileSystemPath(path).get(),
                                 owner_refused_
                                     ? security_->attributes_without_owner()
                                     : security_->attributes()));
  };
  UniqueHandle handle = create();
  if (!handle) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_INVALID_OWNER || owner_refused_) return error;
    owner_refused_ = true;
    handle = create();
    if (!handle) return ::GetLastError();
    owner_given_ = security_->OwnerOf(handle.get());
  }
  // A name that still reaches a device: nothing is written to it, and
  // nothing removed.
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) return ERROR_NOT_SUPPORTED;
  files_.push_back({path, std::move(handle)});
  return ERROR_SUCCESS;
}

void ScratchFiles::KnowAs(const Text& path, const Text& other_path) {
  for (File& file : files_) {
    if (file.path == path) file.path = other_path;
  }
}

HANDLE ScratchFiles::Held(const Text& path) const {
  for (const File& file : files_) {
    if (file.path == path) return file.handle.get();
  }
  return nullptr;
}

void ScratchFiles::CheckNames() const {
  for (const File& file : files_) {
    // Opened by name as the program will open it, following whatever is
    // there now. Attributes alone: it takes no share away from anyone.
    UniqueHandle named = OwnHandle(
        ::CreateFileW(FileSystemPath(file.path).get(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!named) FailCheck(file.path);
    // Something else stands under the name: the program would be shown a
    // file that this run did not write.
    if (!SameFile(file.handle.get(), named.get(), file.path)) {
      Fail(ERROR_FILE_INVALID, operation_texts::kCheckScratchFile, file.path);
    }
  }
}

std::vector<Text> ScratchFiles::HandOver() {
  std::vector<Text> paths;
  paths.reserve(files_.size());
  for (File& file : files_) paths.push_back(std::move(file.path));
  files_.clear();
  return paths;
}

void ScratchFiles::RemoveHandedOver(const std::vector<Text>& paths) noexcept {
  for (const Text& path : paths) {
    try {
      const UniqueHandle file = OwnHandle(::CreateFileW(
          FileSystemPath(path).get(),
          DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, nullptr,
          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
      if (file) RemoveOpenFile(file.get());
    } catch (...) {
      // Out of memory for the path: nothing more can be done.
    }
  }
}

void ScratchFiles::RemoveHeld() noexcept {
  // By the handle, so that it is this file that goes, whatever its name
  // names by now.
  for (File& file : files_) RemoveOpenFile(file.handle.get());
  files_.clear();
}

}  // namespace tessaly
