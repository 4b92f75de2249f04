#include "services/scratch_files_win32.h"

#include "services/long_path.h"

namespace tessaly {
namespace {

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a,
              const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

ScratchFiles::~ScratchFiles() { RemoveHeld(); }

DWORD ScratchFiles::Create(const Text& path) {
  // CREATE_NEW fails on any name already there, a link included, and a
  // reparse point is never followed. Others may read it, never rename or
  // remove it; DELETE is for removing it if the run fails.
  UniqueHandle handle = OwnHandle(::CreateFileW(
      Wide(FileSystemPath(path)), GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE,
      FILE_SHARE_READ, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) return ::GetLastError();
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
    BY_HANDLE_FILE_INFORMATION held;
    if (!::GetFileInformationByHandle(file.handle.get(), &held)) {
      const DWORD error = ::GetLastError();
      Fail(error, u"Hilfsdatei prüfen", file.path);
    }
    // Opened by name as the program will open it, following whatever is
    // there now. Attributes alone: it takes no share away from anyone.
    UniqueHandle named = OwnHandle(
        ::CreateFileW(Wide(FileSystemPath(file.path)), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!named) {
      const DWORD error = ::GetLastError();
      Fail(error, u"Hilfsdatei prüfen", file.path);
    }
    BY_HANDLE_FILE_INFORMATION found;
    if (!::GetFileInformationByHandle(named.get(), &found)) {
      const DWORD error = ::GetLastError();
      Fail(error, u"Hilfsdatei prüfen", file.path);
    }
    // Something else stands under the name: the program would be shown a
    // file that this run did not write.
    if (!SameFile(held, found)) {
      Fail(ERROR_FILE_INVALID, u"Hilfsdatei prüfen", file.path);
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
      ::DeleteFileW(Wide(FileSystemPath(path)));
    } catch (...) {
      // Out of memory for the path: nothing more can be done.
    }
  }
}

void ScratchFiles::RemoveHeld() noexcept {
  for (File& file : files_) {
    // By the handle, so that it is this file that goes, whatever its name
    // names by now.
    FILE_DISPOSITION_INFO remove = {};
    remove.DeleteFile = TRUE;
    ::SetFileInformationByHandle(file.handle.get(), FileDispositionInfo,
                                 &remove, sizeof remove);
  }
  files_.clear();
}

}  // namespace tessaly
