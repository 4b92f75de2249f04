// File helpers for the tests that run under Wine.
#ifndef TESSALY_TESTS_WINDOWS_TEST_FILES_WIN32_H_
#define TESSALY_TESTS_WINDOWS_TEST_FILES_WIN32_H_

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "services/text.h"
#include "win32/handles.h"
#include "win32/support.h"

namespace tessaly::testing {

/// A new, empty folder in the temp folder, removed with everything in it
/// when the object goes.
class ScopedFolder {
 public:
  ScopedFolder();
  ~ScopedFolder();
  ScopedFolder(const ScopedFolder&) = delete;
  ScopedFolder& operator=(const ScopedFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(std::wstring_view name) const {
    return path_ + L'\\' + std::wstring(name);
  }

 private:
  std::wstring path_;
};

/// Where the stand-in editor, started by this process or its children,
/// leaves its records while this object lives: for each start, by process
/// id, ".cmdline", ".cwd" and ".copy" of the file it was given.
class EditorRecords {
 public:
  EditorRecords();
  ~EditorRecords();

  std::string Read(DWORD process_id, std::wstring_view kind) const;
  /// The process ids of the starts recorded.
  std::vector<DWORD> Starts() const;

 private:
  ScopedFolder folder_;
};

void WriteBytes(const std::wstring& path, std::string_view bytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
std::wstring TempFolder();  // With its trailing backslash.
FILETIME LastWriteTime(const std::wstring& path);
void SetLastWriteTime(const std::wstring& path, FILETIME time);
FILETIME HoursAgo(int hours);
/// Gives `path` the user (TokenUser) as its owner, as Tessaly gives its
/// copies, where an elevated token would give new files Administrators.
void OwnAsUser(const std::wstring& path);
/// Makes `path` a copy as Tessaly leaves it: the user's, read-only, last
/// written `hours` ago.
void AgeAsCopy(const std::wstring& path, int hours);
/// Removes a file, read-only or not.
void RemoveFile(const std::wstring& path);

/// CreateProcessW for a program that a test starts, with no handles
/// inherited. Where Wine fails the start itself (ERROR_INTERNAL_ERROR, which
/// it gives when the new process died before any of its code ran), it is
/// tried again, three times in all, and a line says so; a process that
/// started is never started again. False, with the last error set, where
/// it could not be started.
bool StartProcess(const std::wstring& program, std::wstring command_line,
                  DWORD flags, const wchar_t* folder,
                  PROCESS_INFORMATION& process);

/// Starts `command_line`, whose first word is a Unix program such as
/// "/bin/ln", in `folder`, as Wine starts Unix programs. Does not wait: the
/// handle of a Unix process does not signal its end.
bool StartUnixProgram(const std::wstring& folder, std::wstring command_line);

/// Makes a Unix symbolic link `link_name` to `target_name` in `folder` and
/// waits until it is there. Wine's CreateSymbolicLinkW reports success and
/// makes nothing, so the host's ln makes it.
bool PlantLink(const std::wstring& folder, const std::wstring& link_name,
               const std::wstring& target_name);

/// The names in `folder` that a scratch file of either form may have
/// ("*Tessaly*.txt").
std::vector<std::wstring> ScratchFilesIn(const std::wstring& folder);

/// A path as the services take it.
inline Text T(const std::wstring& wide) { return FromWide(wide); }

/// The bytes of the SID written as `text` ("S-1-5-32-544").
std::vector<BYTE> SidOf(const std::wstring& text);
/// The parts of a security descriptor in SDDL.
std::wstring Sddl(PSECURITY_DESCRIPTOR descriptor, SECURITY_INFORMATION parts);
/// A security descriptor made from SDDL.
UniqueLocal Descriptor(const std::wstring& sddl);

/// UTF-16 code units as little-endian bytes, as a file holds them.
std::string LittleEndianBytes(std::u16string_view text);
std::string LittleEndianBytes(std::wstring_view text);

}  // namespace tessaly::testing

#endif  // TESSALY_TESTS_WINDOWS_TEST_FILES_WIN32_H_
