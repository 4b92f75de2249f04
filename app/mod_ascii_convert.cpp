#include "app/mod_ascii_convert.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace tessaly::ModAsciiConvert {
namespace {

// Only the space character counts as blank here: a command line of tabs is
// not empty and goes on to be resolved as a path.
bool IsBlank(const Text& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char16_t unit) { return unit == u' '; });
}

EnvironmentHelper& SharedEnvironment(const Platform& platform) {
  if (!platform.shared.environment) {
    platform.shared.environment = platform.component.CreateEnvironmentHelper();
  }
  return *platform.shared.environment;
}

FileHelper& SharedFiles(const Platform& platform) {
  if (!platform.shared.files) {
    platform.shared.files = platform.component.CreateFileHelper();
  }
  return *platform.shared.files;
}

void StartEditor(const Platform& platform, EnvironmentHelper& environment,
                 const Text& scratch_path) {
  std::unique_ptr<ProgramLauncher> launcher =
      platform.component.CreateProgramLauncher();
  const Text windows_folder =
      environment.SpecialFolderPath(kCsidlWindows, 0, 0);
  const Text quoted_scratch_path = u'"' + scratch_path + u'"';
  launcher->Launch(windows_folder + kEditorName, /*inherit_handles=*/0,
                   /*show_command=*/1, /*new_console=*/0, quoted_scratch_path,
                   static_cast<std::int32_t>(StartFolder::kUserProfile),
                   static_cast<std::int32_t>(LaunchPriority::kNormal),
                   /*wait_milliseconds=*/0);
}

// Line feeds are searched four units at a time: a word holds a line feed
// where the classic zero-lane test finds a zero in the word XOR LF LF LF LF.
constexpr std::uint64_t kLineFeeds = 0x000A000A000A000AULL;
constexpr std::uint64_t kLaneOnes = 0x0001000100010001ULL;
constexpr std::uint64_t kLaneHighs = 0x8000800080008000ULL;

bool HasLineFeed(const char16_t* four_units) {
  std::uint64_t word;
  std::memcpy(&word, four_units, sizeof word);
  const std::uint64_t lanes = word ^ kLineFeeds;
  return ((lanes - kLaneOnes) & ~lanes & kLaneHighs) != 0;
}

std::size_t CountLineFeeds(const char16_t* data, std::size_t size) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < size; ++i) count += data[i] == u'\n';
  return count;
}

const char16_t* FindLineFeed(const char16_t* begin, const char16_t* end) {
  while (end - begin >= 4 && !HasLineFeed(begin)) begin += 4;
  while (begin != end && *begin != u'\n') ++begin;
  return begin;
}

// The index of the last line feed before `end`; there must be one.
std::size_t LastLineFeedBefore(const char16_t* data, std::size_t end) {
  while (end >= 4 && !HasLineFeed(data + end - 4)) end -= 4;
  while (data[end - 1] != u'\n') --end;
  return end - 1;
}

}  // namespace

void Main(const Platform& platform) {
  if (IsBlank(platform.command_line.ArgumentText())) {
    platform.message_box.Show(kMissingArgumentMessage, MessageStyle::kWarning);
    return;
  }

  EnvironmentHelper& environment = SharedEnvironment(platform);
  const Text file_path =
      environment.PathFromCommandLine(platform.command_line.ArgumentText());

  FileHelper& files = SharedFiles(platform);
  if (files.FileExists(file_path) == 0) {
    platform.message_box.Show(kFileNotFoundMessage + Text(u"\r\n") + file_path,
                              MessageStyle::kOk);
    return;
  }

  const Text scratch_path = ToText(environment.ScratchFilePath(kScratchWord));
  Text file_text = files.ReadTextFile(file_path);
  file_text = ConvertLineEndings(std::move(file_text));
  files.WriteTextFile(scratch_path, file_text);

  StartEditor(platform, environment, scratch_path);

  std::int32_t removed = 0;
  Text failure;
  files.FinishScratchFile(scratch_path, /*max_age_hours=*/-1,
                          /*max_removals=*/-1, removed, failure);
}

Text ConvertLineEndings(Text text) {
  const std::size_t old_size = text.size();
  const std::size_t line_feeds = CountLineFeeds(text.data(), old_size);
  if (line_feeds == 0) return text;
  const std::size_t new_size = old_size + line_feeds;

  if (text.capacity() >= new_size) {
    // Room enough: widen in place, from the back, so that each run moves
    // before anything is written over it.
    OverwriteText(text, new_size, [&](char16_t* data, std::size_t) {
      std::size_t read_end = old_size;
      std::size_t write_end = new_size;
      while (write_end != read_end) {
        const std::size_t line_feed = LastLineFeedBefore(data, read_end);
        const std::size_t run = read_end - line_feed - 1;
        write_end -= run;
        std::memmove(data + write_end, data + line_feed + 1,
                     run * sizeof(char16_t));
        data[--write_end] = u'\n';
        data[--write_end] = u'\r';
        read_end = line_feed;
      }
      return new_size;
    });
    return text;
  }

  Text converted;
  OverwriteText(converted, new_size, [&](char16_t* out, std::size_t) {
    const char16_t* read = text.data();
    const char16_t* const end = read + old_size;
    while (read != end) {
      const char16_t* line_feed = FindLineFeed(read, end);
      out = std::copy(read, line_feed, out);
      if (line_feed == end) break;
      *out++ = u'\r';
      *out++ = u'\n';
      read = line_feed + 1;
    }
    return new_size;
  });
  return converted;
}

}  // namespace tessaly::ModAsciiConvert
