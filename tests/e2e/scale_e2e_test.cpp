// Big files: one that a 32-bit process can only convert with the whole of
// its address space, and one too big for any.
#include <algorithm>

#include "tests/e2e/e2e_checks_win32.h"
#include "win32/handles.h"

namespace tessaly::testing {
namespace {

constexpr LONGLONG kMiB = 1 << 20;

// Writes `size` bytes of 80-byte LF-ended lines.
void WriteLines(const std::wstring& path, LONGLONG size) {
  std::string chunk;
  while (chunk.size() < static_cast<std::size_t>(kMiB)) {
    chunk += std::string(79, 'x') + '\n';
  }
  chunk.resize(kMiB / 80 * 80);  // Whole lines only.
  const UniqueHandle file =
      OwnHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(file, nullptr);
  LONGLONG written = 0;
  while (written < size) {
    const DWORD piece = static_cast<DWORD>(std::min<LONGLONG>(
        size - written, static_cast<LONGLONG>(chunk.size())));
    DWORD done = 0;
    ASSERT_TRUE(::WriteFile(file.get(), chunk.data(), piece, &done, nullptr));
    written += done;
  }
}

void MakeSparse(const std::wstring& path, LONGLONG size) {
  const UniqueHandle file =
      OwnHandle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(file, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = size;
  ASSERT_TRUE(::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN));
  ASSERT_TRUE(::SetEndOfFile(file.get()));
}

std::string ReadAt(const std::wstring& path, LONGLONG offset, DWORD size) {
  const UniqueHandle file =
      OwnHandle(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  if (file == nullptr) return {};
  LARGE_INTEGER position;
  position.QuadPart = offset;
  ::SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN);
  std::string bytes(size, '\0');
  DWORD read = 0;
  ::ReadFile(file.get(), bytes.data(), size, &read, nullptr);
  bytes.resize(read);
  return bytes;
}

class ScaleTest : public EditorRunTest {
 protected:
  void SetUp() override {
    ::SetEnvironmentVariableW(L"TESSALY_RECORD_NO_COPY", L"1");
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"TESSALY_RECORD_NO_COPY", nullptr);
  }
};

TEST_F(ScaleTest, A512MiBFileConvertsAndOpens) {
  const std::wstring path = files_ / L"big.log";
  const LONGLONG size = 512 * kMiB / 80 * 80;
  WriteLines(path, size);
  TessalyRun run(L'"' + path + L'"');
  EXPECT_EQ(run.ExitStatus(), 0u) << "Tessaly did not end normally";
  EXPECT_TRUE(run.AllEnded());
  const std::vector<EditorStart> starts = NewStarts();
  ASSERT_EQ(starts.size(), 1u) << "the editor was not started";

  // Every 80-byte line became 81 UTF-16 units, after the byte order mark.
  const LONGLONG lines = size / 80;
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(::GetFileAttributesExW(starts[0].scratch.c_str(),
                                     GetFileExInfoStandard, &data));
  const LONGLONG scratch_size =
      static_cast<LONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  EXPECT_EQ(scratch_size, 2 + lines * 81 * 2);
  const std::string line =
      LittleEndianBytes(std::u16string(79, u'x') + u"\r\n");
  EXPECT_EQ(ReadAt(starts[0].scratch, 0, 2 + 162), "\xFF\xFE" + line);
  EXPECT_EQ(ReadAt(starts[0].scratch, scratch_size - 162, 162), line);
}

// Files past 2 GiB are refused before reading, in both builds. The 32-bit
// program also cannot hold the text of 1.5 GiB; the 64-bit test build can,
// so there the smallest file refused is tried instead.
constexpr LONGLONG kTooBigToRead = 2048 * kMiB;
constexpr LONGLONG kTooBigToHold =
    sizeof(void*) == 4 ? 1536 * kMiB : kTooBigToRead;

TEST(ScaleReportTest, FilesTooBigForMemoryEndInTheReport) {
  ScopedFolder folder;
  // Sparse files: they take no room on disk.
  for (const LONGLONG size : {kTooBigToHold, 3072 * kMiB}) {
    const std::wstring path = folder / L"huge.log";
    MakeSparse(path, size);
    TessalyRun run(L'"' + path + L'"');
    ExpectReport(run.ReadAndDismissBox(), ERROR_NOT_ENOUGH_MEMORY,
                 L"Datei lesen \"" + path + L'"');
    EXPECT_EQ(run.ExitStatus(), 1u) << size;
    EXPECT_EQ(run.ProcessesStarted(), 1u) << size;
  }
}

}  // namespace
}  // namespace tessaly::testing
