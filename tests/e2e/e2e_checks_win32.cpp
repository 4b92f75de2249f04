#include "tests/e2e/e2e_checks_win32.h"

#include <algorithm>

#include "paths/scratch_name.h"

namespace tessaly::testing {
namespace {

std::string Describe(const std::vector<BoxButton>& buttons) {
  std::string described;
  for (const BoxButton& button : buttons) {
    described += '"' + Narrow(button.text) + "\" ";
  }
  return described;
}

std::wstring AsWide(const std::string& utf16_bytes) {
  return std::wstring(reinterpret_cast<const wchar_t*>(utf16_bytes.data()),
                      utf16_bytes.size() / 2);
}

std::wstring LongForm(const std::wstring& path) {
  std::wstring long_form(32768, L'\0');
  const DWORD length = ::GetLongPathNameW(path.c_str(), long_form.data(),
                                          static_cast<DWORD>(long_form.size()));
  if (length == 0 || length >= long_form.size()) return path;
  long_form.resize(length);
  return long_form;
}

}  // namespace

std::string Narrow(const std::wstring& text) {
  std::string narrow;
  for (wchar_t unit : text) {
    narrow += unit < 0x80 ? static_cast<char>(unit) : '?';
  }
  return narrow;
}

void ExpectBox(const SeenBox& box, const std::wstring& text, BoxIcon icon) {
  ASSERT_TRUE(box.found) << "no message box appeared";
  EXPECT_EQ(box.caption, L"Brevinor");
  EXPECT_EQ(box.text, text) << Narrow(box.text);
  EXPECT_EQ(box.icon, icon) << Name(box.icon) << " instead of " << Name(icon);
  ASSERT_EQ(box.buttons.size(), 1u) << Describe(box.buttons);
  EXPECT_EQ(box.buttons[0].text, L"OK");
}

void ExpectReport(const SeenBox& box, DWORD code,
                  const std::wstring& operation) {
  ASSERT_TRUE(box.found) << "no report appeared";
  EXPECT_EQ(box.caption, L"Brevinor");
  EXPECT_EQ(box.icon, BoxIcon::kError) << Name(box.icon);
  const std::wstring head = L"Laufzeitfehler " + std::to_wstring(code) +
                            L"\r\n\r\n" + operation + L": ";
  EXPECT_EQ(box.text.substr(0, head.size()), head) << Narrow(box.text);
  EXPECT_GT(box.text.size(), head.size()) << "no description of the error";
  ASSERT_EQ(box.buttons.size(), 1u) << Describe(box.buttons);
  EXPECT_EQ(box.buttons[0].text, L"OK");
}

Unchanged::Unchanged(const std::wstring& path)
    : path_(path), bytes_(ReadBytes(path)), written_(LastWriteTime(path)) {}

void Unchanged::Check() const {
  EXPECT_EQ(ReadBytes(path_), bytes_) << "the original changed";
  const FILETIME now = LastWriteTime(path_);
  EXPECT_EQ(now.dwLowDateTime, written_.dwLowDateTime) << "it was written";
  EXPECT_EQ(now.dwHighDateTime, written_.dwHighDateTime) << "it was written";
}

EditorRunTest::~EditorRunTest() {
  for (const std::wstring& scratch : scratch_files_) RemoveFile(scratch);
}

std::string EditorRunTest::RunAndReadCopy(const std::wstring& argument,
                                          const std::wstring& current_folder) {
  TessalyRun run(argument, current_folder);
  EXPECT_EQ(run.ExitStatus(), 0u);
  EXPECT_TRUE(run.WindowsSeen().empty()) << "Tessaly showed a window";
  EXPECT_TRUE(run.AllEnded());
  EXPECT_EQ(run.ProcessesStarted(), 2u);
  const std::vector<EditorStart> starts = NewStarts();
  if (starts.size() != 1) {
    ADD_FAILURE() << "the editor was started " << starts.size() << " times";
    return {};
  }
  EXPECT_EQ(ReadBytes(starts[0].scratch), starts[0].copy)
      << "the scratch copy changed after the editor got it";
  EXPECT_NE(
      ::GetFileAttributesW(starts[0].scratch.c_str()) & FILE_ATTRIBUTE_READONLY,
      0u)
      << "the copy is not read-only";
  last_start_ = starts[0];
  return starts[0].copy;
}

std::vector<EditorStart> EditorRunTest::NewStarts() {
  wchar_t windows[MAX_PATH];
  ::GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring editor = std::wstring(windows) + L"\\notepad.exe";
  const std::wstring expected_start = L'"' + editor + L"\" \"";
  const std::wstring temp = TempFolder();

  std::vector<EditorStart> starts;
  for (DWORD process_id : records_.Starts()) {
    if (!seen_.insert(process_id).second) continue;
    EditorStart start;
    start.program = AsWide(records_.Read(process_id, L".exe"));
    start.command_line = AsWide(records_.Read(process_id, L".cmdline"));
    EXPECT_EQ(start.program, editor) << "another program started";
    const std::wstring& given = start.command_line;
    EXPECT_EQ(given.substr(0, expected_start.size()), expected_start)
        << Narrow(given);
    if (given.size() > expected_start.size() && given.back() == L'"') {
      start.scratch = given.substr(expected_start.size(),
                                   given.size() - expected_start.size() - 1);
      scratch_files_.push_back(start.scratch);
    }
    // A path Notepad can open, of a scratch name right in the temp folder;
    // a short form, given where the temp folder leaves no room, is read in
    // its long form.
    EXPECT_LE(start.scratch.size(), 259u) << Narrow(given);
    const std::wstring long_form = LongForm(start.scratch);
    EXPECT_EQ(long_form.substr(0, temp.size()), temp) << Narrow(long_form);
    const std::wstring name =
        long_form.substr(std::min(temp.size(), long_form.size()));
    EXPECT_EQ(ScratchFileWord(Text(name.begin(), name.end())), Text(u"Tessaly"))
        << Narrow(given);
    EXPECT_EQ(name.find(L'\\'), std::wstring::npos) << Narrow(given);
    start.copy = records_.Read(process_id, L".copy");
    starts.push_back(start);
  }
  return starts;
}

std::string CopyOf(std::u16string_view text) {
  return "\xFF\xFE" + LittleEndianBytes(text);
}

}  // namespace tessaly::testing
