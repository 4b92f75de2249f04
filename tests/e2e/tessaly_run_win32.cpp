#include "tests/e2e/tessaly_run_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "tests/windows/test_files_win32.h"

namespace tessaly::testing {
namespace {

constexpr DWORD kBoxTimeoutMilliseconds = 20000;

struct BoxSearch {
  DWORD process_id;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<BoxSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  wchar_t class_name[16] = {};
  ::GetClassNameW(window, class_name, 16);
  if (owner == search->process_id && ::IsWindowVisible(window) &&
      std::wstring(class_name) == L"#32770") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

struct WindowWatch {
  DWORD process_id;
  std::set<std::wstring>* seen;
};

BOOL CALLBACK NoteWindow(HWND window, LPARAM parameter) {
  auto* watch = reinterpret_cast<WindowWatch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner == watch->process_id && ::IsWindowVisible(window)) {
    wchar_t class_name[64] = {};
    ::GetClassNameW(window, class_name, 64);
    watch->seen->insert(class_name);
  }
  return TRUE;
}

BOOL CALLBACK CollectButton(HWND child, LPARAM parameter) {
  wchar_t class_name[16] = {};
  ::GetClassNameW(child, class_name, 16);
  if (std::wstring(class_name) == L"Button" && ::IsWindowVisible(child)) {
    wchar_t text[64] = {};
    ::GetWindowTextW(child, text, 64);
    reinterpret_cast<std::vector<BoxButton>*>(parameter)->push_back(
        {child, text});
  }
  return TRUE;
}

// A message box's parts are found by class and style, never by their IDs,
// which differ between Windows and Wine: the icon is the visible static
// control of the SS_ICON type, the text the visible static control of
// another type that holds text.
struct BoxParts {
  HWND icon = nullptr;
  HWND text = nullptr;
};

BOOL CALLBACK FindPart(HWND child, LPARAM parameter) {
  auto* parts = reinterpret_cast<BoxParts*>(parameter);
  wchar_t class_name[16] = {};
  ::GetClassNameW(child, class_name, 16);
  if (::lstrcmpiW(class_name, L"Static") != 0 || !::IsWindowVisible(child)) {
    return TRUE;
  }
  const LONG_PTR type = ::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK;
  if (type == SS_ICON) {
    parts->icon = child;
  } else if (::GetWindowTextLengthW(child) > 0) {
    parts->text = child;
  }
  return TRUE;
}

// 32-bit pixels of what `paint` draws into a memory bitmap of the size of
// an icon; empty where it drew nothing.
template <typename Paint>
std::vector<COLORREF> Pixels(Paint paint) {
  const int width = ::GetSystemMetrics(SM_CXICON);
  const int height = ::GetSystemMetrics(SM_CYICON);
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  const bool painted = paint(memory, screen, width, height);
  ::SelectObject(memory, previous);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<COLORREF> pixels(static_cast<std::size_t>(width) * height);
  ::GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  if (!painted) pixels.clear();
  return pixels;
}

// An icon drawn on a plain background.
std::vector<COLORREF> Drawn(HICON icon, COLORREF background) {
  return Pixels([&](HDC memory, HDC, int width, int height) {
    HBRUSH brush = ::CreateSolidBrush(background);
    RECT all = {0, 0, width, height};
    ::FillRect(memory, &all, brush);
    ::DeleteObject(brush);
    return ::DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr,
                        DI_NORMAL) != FALSE;
  });
}

// The control as it shows on the screen.
std::vector<COLORREF> OnScreen(HWND control) {
  ::RedrawWindow(::GetParent(control), nullptr, nullptr,
                 RDW_UPDATENOW | RDW_ALLCHILDREN);
  ::Sleep(300);  // Let it paint.
  RECT area;
  ::GetWindowRect(control, &area);
  return Pixels([&](HDC memory, HDC screen, int width, int height) {
    return ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top,
                    SRCCOPY) != FALSE;
  });
}

int Distance(COLORREF a, COLORREF b) {
  return std::abs(int(GetRValue(a)) - int(GetRValue(b))) +
         std::abs(int(GetGValue(a)) - int(GetGValue(b))) +
         std::abs(int(GetBValue(a)) - int(GetBValue(b)));
}

// The box's own icon, taken from its control and drawn here, next to each
// system icon drawn the same way: nothing is read off the screen, which
// another window may cover. Wine keeps icons per process, so there the
// box's cannot be drawn here, and the control is read off the screen, which
// under Xvfb nothing covers.
BoxIcon ClassifyIcon(HWND icon_control) {
  const auto icon = reinterpret_cast<HICON>(
      icon_control ? ::SendMessageW(icon_control, STM_GETICON, 0, 0) : 0);
  if (icon == nullptr) return BoxIcon::kNone;
  COLORREF background = RGB(0x12, 0x34, 0x56);
  std::vector<COLORREF> shown = Drawn(icon, background);
  if (shown.empty()) {
    shown = OnScreen(icon_control);
    if (shown.empty()) return BoxIcon::kUnknown;
    background = shown[0];
  }
  if (std::all_of(shown.begin(), shown.end(),
                  [&](COLORREF pixel) { return pixel == background; })) {
    return BoxIcon::kNone;
  }
  const struct {
    BoxIcon icon;
    const wchar_t* id;
  } candidates[] = {{BoxIcon::kWarning, IDI_WARNING},
                    {BoxIcon::kError, IDI_ERROR},
                    {BoxIcon::kInformation, IDI_INFORMATION},
                    {BoxIcon::kQuestion, IDI_QUESTION}};
  BoxIcon best = BoxIcon::kUnknown;
  std::size_t fewest_different = shown.size() / 20;  // At most 5% off.
  for (const auto& candidate : candidates) {
    const std::vector<COLORREF> drawn =
        Drawn(::LoadIconW(nullptr, candidate.id), background);
    std::size_t different = 0;
    for (std::size_t i = 0; i < shown.size() && i < drawn.size(); ++i) {
      if (Distance(shown[i], drawn[i]) > 48) ++different;
    }
    if (drawn.size() == shown.size() && different <= fewest_different) {
      fewest_different = different;
      best = candidate.icon;
    }
  }
  return best;
}

}  // namespace

std::wstring BuildFolder() {
  wchar_t module[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  const std::wstring path(module, length);
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring WindowText(HWND window) {
  constexpr UINT kFlags = SMTO_ABORTIFHUNG | SMTO_BLOCK;
  constexpr UINT kMilliseconds = 2000;
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, kFlags,
                             kMilliseconds, &length)) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(),
                             reinterpret_cast<LPARAM>(text.data()), kFlags,
                             kMilliseconds, &copied)) {
    return {};
  }
  text.resize(std::min<std::size_t>(copied, length));
  return text;
}

const char* Name(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::kNone:
      return "no icon";
    case BoxIcon::kWarning:
      return "warning";
    case BoxIcon::kError:
      return "error";
    case BoxIcon::kInformation:
      return "information";
    case BoxIcon::kQuestion:
      return "question";
    case BoxIcon::kUnknown:
      break;
  }
  return "an unknown icon";
}

TessalyRun::TessalyRun(const std::wstring& argument_text,
                       const std::wstring& current_folder,
                       const std::wstring& given_exe) {
  const std::wstring exe =
      given_exe.empty() ? BuildFolder() + L"\\Tessaly.exe" : given_exe;
  std::wstring command_line = L'"' + exe + L'"';
  if (!argument_text.empty()) command_line += L' ' + argument_text;
  PROCESS_INFORMATION process = {};
  job_.reset(::CreateJobObjectW(nullptr, nullptr));
  if (!StartProcess(exe, command_line, CREATE_SUSPENDED,
                    current_folder.empty() ? nullptr : current_folder.c_str(),
                    process)) {
    ADD_FAILURE() << "cannot start Tessaly.exe: " << ::GetLastError();
    return;
  }
  process_.reset(process.hProcess);
  const UniqueHandle thread(process.hThread);
  EXPECT_TRUE(::AssignProcessToJobObject(job_.get(), process_.get()));
  ::ResumeThread(thread.get());
  process_id_ = process.dwProcessId;
}

TessalyRun::~TessalyRun() {
  if (process_ != nullptr &&
      ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.get(), 99);
  }
}

SeenBox TessalyRun::ReadAndDismissBox() {
  SeenBox seen;
  BoxSearch search = {process_id_, nullptr};
  for (DWORD waited = 0; waited < kBoxTimeoutMilliseconds && !search.found;
       waited += 10) {
    if (::WaitForSingleObject(process_.get(), 10) == WAIT_OBJECT_0) break;
    NoteWindows();
    ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
  }
  if (search.found == nullptr) return seen;
  NoteWindows();
  HWND box = search.found;
  seen.found = true;

  wchar_t caption[256] = {};
  ::GetWindowTextW(box, caption, 256);
  seen.caption = caption;
  BoxParts parts;
  ::EnumChildWindows(box, FindPart, reinterpret_cast<LPARAM>(&parts));
  if (parts.text != nullptr) seen.text = WindowText(parts.text);
  ::EnumChildWindows(box, CollectButton,
                     reinterpret_cast<LPARAM>(&seen.buttons));
  seen.icon = ClassifyIcon(parts.icon);

  // The button found, by its own ID, whatever the system gave it.
  if (!seen.buttons.empty()) {
    const HWND button = seen.buttons[0].handle;
    ::PostMessageW(box, WM_COMMAND,
                   MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                   reinterpret_cast<LPARAM>(button));
  }
  return seen;
}

void TessalyRun::NoteWindows() {
  WindowWatch watch = {process_id_, &windows_seen_};
  ::EnumWindows(NoteWindow, reinterpret_cast<LPARAM>(&watch));
}

DWORD TessalyRun::ExitStatus() {
  if (process_ == nullptr) return STILL_ACTIVE;
  DWORD waited = 0;
  // Polled, so that any window Tessaly shows meanwhile is seen.
  while (::WaitForSingleObject(process_.get(), 10) == WAIT_TIMEOUT) {
    NoteWindows();
    waited += 10;
    if (waited >= 30000) return STILL_ACTIVE;
  }
  DWORD status = STILL_ACTIVE;
  ::GetExitCodeProcess(process_.get(), &status);
  return status;
}

bool TessalyRun::AllEnded(DWORD timeout_milliseconds) {
  for (DWORD waited = 0; waited <= timeout_milliseconds; waited += 50) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
    ::QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation,
                                &accounting, sizeof accounting, nullptr);
    if (accounting.ActiveProcesses == 0) return true;
    ::Sleep(50);
  }
  return false;
}

DWORD TessalyRun::ProcessesStarted() {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
  ::QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation,
                              &accounting, sizeof accounting, nullptr);
  return accounting.TotalProcesses;
}

std::vector<DWORD> TessalyRun::LiveProcesses() {
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[63];
  } ids = {};
  ids.list.NumberOfAssignedProcesses = 64;
  ::QueryInformationJobObject(job_.get(), JobObjectBasicProcessIdList, &ids,
                              sizeof ids, nullptr);
  std::vector<DWORD> live;
  for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i) {
    live.push_back(static_cast<DWORD>(ids.list.ProcessIdList[i]));
  }
  return live;
}

namespace {

struct WindowSearch {
  std::vector<DWORD> process_ids;
  std::wstring title_part;
  HWND ours = nullptr;
  HWND anyone = nullptr;
};

BOOL CALLBACK FindTitled(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  if (!::IsWindowVisible(window) ||
      WindowText(window).find(search->title_part) == std::wstring::npos) {
    return TRUE;
  }
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (std::find(search->process_ids.begin(), search->process_ids.end(),
                owner) != search->process_ids.end()) {
    search->ours = window;
    return FALSE;
  }
  if (search->anyone == nullptr) search->anyone = window;
  return TRUE;
}

}  // namespace

HWND TessalyRun::WaitForWindow(const std::wstring& title_part,
                               DWORD timeout_milliseconds) {
  for (DWORD waited = 0; waited <= timeout_milliseconds; waited += 100) {
    WindowSearch search{LiveProcesses(), title_part};
    ::EnumWindows(FindTitled, reinterpret_cast<LPARAM>(&search));
    if (search.ours != nullptr) return search.ours;
    if (search.anyone != nullptr) return search.anyone;
    ::Sleep(100);
  }
  return nullptr;
}

void TessalyRun::EndAll() {
  if (job_ != nullptr) ::TerminateJobObject(job_.get(), 0);
}

}  // namespace tessaly::testing
