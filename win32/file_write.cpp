// Writing a file's text whole: a scratch copy through the handle that made
// it, any other file by its name.
#include <algorithm>

#include "win32/file_helper.h"
#include "win32/operation_texts.h"
#include "win32/scratch_files.h"
#include "win32/support.h"

namespace tessaly {
namespace {

void WriteAll(HANDLE file, const char* data, std::size_t size,
              const Text& path) {
  while (size > 0) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<std::size_t>(size, kFileChunkBytes));
    DWORD written = 0;
    if (!::WriteFile(file, data, chunk, &written, nullptr)) {
      FailLastError(operation_texts::kWriteFile, path);
    }
    if (written == 0)
      Fail(ERROR_WRITE_FAULT, operation_texts::kWriteFile, path);
    data += written;
    size -= written;
  }
}

}  // namespace

void Win32FileHelper::WriteTextFile(const Text& path, const Text& text) {
  // A scratch file of this run is written through the handle that made it,
  // never reopened by its name, which may name something else by now.
  HANDLE scratch = scratch_files_ ? scratch_files_->Held(path) : nullptr;
  UniqueHandle opened;
  if (scratch == nullptr) {
    opened = OwnHandle(::CreateFileW(FileSystemPath(path).get(), GENERIC_WRITE,
                                     FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!opened) {
      FailLastError(operation_texts::kCreateFile, path);
    }
  }
  HANDLE file = scratch != nullptr ? scratch : opened.get();
  const LARGE_INTEGER start = {};
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) {
    FailLastError(operation_texts::kWriteFile, path);
  }
  constexpr char kUtf16LeMark[] = "\xFF\xFE";
  WriteAll(file, kUtf16LeMark, 2, path);
  WriteAll(file, reinterpret_cast<const char*>(text.data()),
           text.size() * sizeof(char16_t), path);
  if (!::SetEndOfFile(file)) {
    FailLastError(operation_texts::kWriteFile, path);
  }
  // A scratch copy is read-only once written: the editor then has the user
  // save elsewhere, rather than into a file that a later run sweeps away.
  if (scratch != nullptr) {
    if (const DWORD error = SetReadOnly(scratch, true);
        error != ERROR_SUCCESS) {
      Fail(error, operation_texts::kWriteFile, path);
    }
  }
}

}  // namespace tessaly
