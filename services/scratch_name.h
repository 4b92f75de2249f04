#ifndef TESSALY_SERVICES_SCRATCH_NAME_H_
#define TESSALY_SERVICES_SCRATCH_NAME_H_

#include <cstdint>
#include <optional>

#include "services/text.h"

namespace tessaly {

/// The name of a scratch file: the word, a dash, the process id in eight hex
/// digits, a dash, eight random hex digits and ".txt", as in
/// "Tessaly-00000a2c-5f3e9b10.txt". Both sides of the temp-folder
/// housekeeping read it from here, so only such names are ever swept.
Text ScratchFileName(const Text& word, std::uint32_t process_id,
                     std::uint32_t random);

/// The word of a scratch file name, or nothing for any other name.
std::optional<Text> ScratchFileWord(const Text& file_name);

}  // namespace tessaly

#endif  // TESSALY_SERVICES_SCRATCH_NAME_H_
