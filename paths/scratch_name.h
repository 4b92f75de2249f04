#ifndef TESSALY_PATHS_SCRATCH_NAME_H_
#define TESSALY_PATHS_SCRATCH_NAME_H_

#include <cstddef>
#include <cstdint>
#include <optional>

#include "services/text.h"

namespace tessaly {

/// The longest name that a file may have, in UTF-16 units.
inline constexpr std::size_t kLongestFileName = 255;

/// A shorter bound for a copy's name, for a temp folder whose file system
/// refused the longer one, as those that count a name's bytes do with long
/// non-Latin names: with "Tessaly" as the word, it keeps the name within
/// 143 bytes of UTF-8 whatever the file is called.
inline constexpr std::size_t kShortScratchNameLength = 63;

/// The plain name of a scratch file: the word, a dash, the process id in
/// eight hex digits, a dash, eight random hex digits and ".txt", as in
/// "Tessaly-00000a2c-5f3e9b10.txt".
Text ScratchFileName(const Text& word, std::uint32_t process_id,
                     std::uint32_t random);

/// The name of a scratch copy of the file named `shown_name`, so that the
/// editor's title says which file it shows: as much of the start of
/// `shown_name` as fits, a blank, the word and eight random hex digits in
/// parentheses, and ".txt", as in "server.log (Tessaly 5f3e9b10).txt". The
/// name is at most `longest` units long; it is never cut inside a surrogate
/// pair, and characters that no file name may hold become '_'. A name that
/// Windows would take for a device's, as "nul.txt (Tessaly 5f3e9b10).txt"
/// (NUL) or "conout$.log (Tessaly ..." (the console), gets a '_' after the
/// device's part: "nul_.txt (Tessaly ...".
/// Where there is no shown name, or no room for even one unit of it, it is
/// the plain name.
Text ScratchFileName(const Text& word, const Text& shown_name,
                     std::uint32_t process_id, std::uint32_t random,
                     std::size_t longest);

/// The word of a scratch file name of either form, or nothing for any other
/// name. Both sides of the temp-folder housekeeping read names through
/// here, so only such names are ever swept.
std::optional<Text> ScratchFileWord(const Text& file_name);

}  // namespace tessaly

#endif  // TESSALY_PATHS_SCRATCH_NAME_H_
