#include "win32/command_line.h"

#include "win32/support.h"

namespace tessaly {

Text ArgumentTextOf(const Text& full_command_line) {
  std::size_t position = 0;
  const std::size_t length = full_command_line.size();
  // The program's name: quoted up to the closing quote, or up to the first
  // blank, as Windows itself splits off the name.
  if (length > 0 && full_command_line[0] == u'"') {
    position = full_command_line.find(u'"', 1);
    position = position == Text::npos ? length : position + 1;
  } else {
    while (position < length && full_command_line[position] != u' ' &&
           full_command_line[position] != u'\t') {
      ++position;
    }
  }
  while (position < length && (full_command_line[position] == u' ' ||
                               full_command_line[position] == u'\t')) {
    ++position;
  }
  return full_command_line.substr(position);
}

Text Win32CommandLine::ArgumentText() {
  return ArgumentTextOf(FromWide(::GetCommandLineW()));
}

}  // namespace tessaly
