// How the Win32 code reports failure. There are three ways, each for its
// kind of caller:
//
// - An operation that the run cannot go on without throws ServiceError,
//   through Fail or FailLastError: what was being done, in the German words
//   of operation_texts.h, and the system's error code. Every helper
//   operation fails so; Main catches nothing, and the run-time reports it.
// - A step whose caller decides by the code what comes next returns the
//   system's error code, ERROR_SUCCESS (0) when it worked, and throws
//   nothing for it: ScratchFiles::Create (another name is tried), and
//   SetReadOnly and RemoveOpenFile (the sweep goes on with the next copy,
//   and a failed run's clean-up never fails). FoundEntry carries the code
//   with what was found.
// - A question that a failure leaves open gets the answer that keeps the
//   user's files safe, and its comment says which: VolumeKeepsAcls says
//   yes, so that an owner is still asked for; OwnerOf gives nobody.
//
// What runs on the way out of a failed run is noexcept: its first failure
// is the one to report.
#ifndef TESSALY_WIN32_FAILURE_H_
#define TESSALY_WIN32_FAILURE_H_

#include <windows.h>

#include <string_view>

#include "services/text.h"

namespace tessaly {

/// "operation: the system's description of `error`", the description in
/// German where the system has it, trimmed of its line break, and the bare
/// number where the system has none.
Text DescribeFailure(std::u16string_view operation, DWORD error);

/// Throws the ServiceError of `operation` on `subject` (a path, say).
/// `error` must be the code saved straight after the call that failed.
[[noreturn]] void Fail(DWORD error, std::u16string_view operation,
                       const Text& subject = Text());

/// Fail with GetLastError(), which it reads before anything else: call it
/// straight after the call that failed, with arguments already at hand.
[[noreturn]] void FailLastError(std::u16string_view operation,
                                const Text& subject = Text());

}  // namespace tessaly

#endif  // TESSALY_WIN32_FAILURE_H_
