// The scratch files of one run, from their creation until the editor has
// them.
#ifndef TESSALY_WIN32_SCRATCH_FILES_H_
#define TESSALY_WIN32_SCRATCH_FILES_H_

#include <functional>
#include <memory>
#include <vector>

#include "services/text.h"
#include "win32/handles.h"
#include "win32/private_security.h"

namespace tessaly {

/// Sets or clears the read-only attribute of the file open as `file`, with
/// FILE_READ_ATTRIBUTES and FILE_WRITE_ATTRIBUTES. Returns the system's error
/// code, 0 on success.
DWORD SetReadOnly(HANDLE file, bool read_only);

/// Removes the file open as `file`, with DELETE and the attribute rights,
/// read-only or not: the attribute is cleared just before, and put back if
/// the file cannot go. Returns the system's error code, 0 on success.
DWORD RemoveOpenFile(HANDLE file);

/// Creates a new file at `path`, as ScratchFiles does, with `security`:
/// never opening anything already there, nor following a reparse point.
/// Returns its handle, or INVALID_HANDLE_VALUE with the error in
/// GetLastError.
HANDLE CreateNewFile(const wchar_t* path, SECURITY_ATTRIBUTES* security);

/// Holds each scratch file of this run by the handle that created it, until
/// it is handed to the program that shows it. Meanwhile it is written only
/// through that handle, so a link put in its place is never written
/// through, and nobody can rename or delete it on Windows, as the handle
/// does not share deleting. What is still held when the run fails, or when
/// this object goes, was never handed on and is removed.
class ScratchFiles {
 public:
  using NewFileCall =
      std::function<HANDLE(const wchar_t* path, SECURITY_ATTRIBUTES* security)>;

  /// Files are created by `create_new`, by default CreateNewFile, for the
  /// user of `token`, by default this process's.
  explicit ScratchFiles(NewFileCall create_new = CreateNewFile,
                        TokenQuery token = nullptr);
  ~ScratchFiles();
  ScratchFiles(const ScratchFiles&) = delete;
  ScratchFiles& operator=(const ScratchFiles&) = delete;

  /// Creates a new scratch file at `path`, never opening anything already
  /// there, nor anything but a file on disk (ERROR_NOT_SUPPORTED), private
  /// to the user (PrivateSecurity). Where the file system refuses the user
  /// as its owner, this and every later file of the run get the system's
  /// owner, with the same access list. Returns the system's error code, 0
  /// on success.
  DWORD Create(const Text& path);

  /// From now on, the scratch file `path` goes by `other_path`, another
  /// name of the same file.
  void KnowAs(const Text& path, const Text& other_path);

  /// The handle that created the scratch file `path`, while it is held;
  /// null for any other path.
  HANDLE Held(const Text& path) const;

  /// Fails unless every file still held is still the one its path names:
  /// call it before a program is given the paths.
  void CheckNames() const;

  /// The security of this run's files, made on first use; the sweep of
  /// old copies goes by it too.
  const PrivateSecurity& Security();

  /// The owner that the file system gave this run's files when it refused
  /// the user, read through the handle that made the first of them; empty
  /// where it took the user, or no file was made.
  const std::vector<BYTE>& OwnerGiven() const { return owner_given_; }

  /// Lets go of every file held: they belong to the started program now.
  /// Returns their paths.
  std::vector<Text> HandOver();

  /// Removes files handed to a program that then never ran. Never fails.
  static void RemoveHandedOver(const std::vector<Text>& paths) noexcept;

  /// Removes every file still held. Never fails: it runs on the way out of
  /// a failed run, whose first failure is the one to report.
  void RemoveHeld() noexcept;

 private:
  struct File {
    Text path;
    UniqueHandle handle;
  };
  NewFileCall create_new_;
  TokenQuery token_;
  std::vector<File> files_;
  /// Made for the first file, so that runs that make none load nothing.
  std::unique_ptr<PrivateSecurity> security_;
  bool owner_refused_ = false;
  std::vector<BYTE> owner_given_;
};

}  // namespace tessaly

#endif  // TESSALY_WIN32_SCRATCH_FILES_H_
