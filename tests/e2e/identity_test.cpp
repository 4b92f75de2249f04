// Reads the program's identity back from the shipped 32-bit Tessaly.exe:
// version information, icon, the form's template, the manifest and the PE
// header. The 64-bit test build reads that same file, as data.
#include <gtest/gtest.h>

#include <cctype>
#include <cstddef>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/tessaly_run_win32.h"
#include "tests/windows/test_files_win32.h"
#include "win32/handles.h"
// After windows.h, which it needs.
#include <imagehlp.h>

namespace tessaly::testing {
namespace {

constexpr WORD kGerman = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);

// TESSALY_SHIPPED_EXE names it; without it, the one beside this program.
std::wstring ExePath() {
  wchar_t path[MAX_PATH];
  const DWORD length =
      ::GetEnvironmentVariableW(L"TESSALY_SHIPPED_EXE", path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return std::wstring(path, length);
  return BuildFolder() + L"\\Tessaly.exe";
}

// The exe's resources, loaded as data.
class Resources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_.reset(::LoadLibraryExW(
        ExePath().c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_NE(module_, nullptr) << ::GetLastError();
  }

  // The bytes of one German resource, or none.
  std::string_view Bytes(const wchar_t* type, const wchar_t* name) {
    HRSRC found = ::FindResourceExW(module_.get(), type, name, kGerman);
    if (found == nullptr) return {};
    const auto* data = static_cast<const char*>(
        ::LockResource(::LoadResource(module_.get(), found)));
    return std::string_view(data, ::SizeofResource(module_.get(), found));
  }

  UniqueModule module_;
};

// One node of a version resource: key, value and children.
struct VersionNode {
  std::wstring key;
  std::wstring text;  // For text values.
  std::vector<VersionNode> children;
};

std::size_t Aligned(std::size_t offset) {
  return (offset + 3) & ~std::size_t{3};
}

VersionNode ParseVersionNode(std::string_view block) {
  WORD length, value_length, type;
  std::memcpy(&length, block.data(), 2);
  std::memcpy(&value_length, block.data() + 2, 2);
  std::memcpy(&type, block.data() + 4, 2);
  block = block.substr(0, length);
  VersionNode node;
  node.key = reinterpret_cast<const wchar_t*>(block.data() + 6);
  std::size_t offset = Aligned(6 + (node.key.size() + 1) * 2);
  if (type == 1 && value_length > 0) {
    node.text.assign(reinterpret_cast<const wchar_t*>(block.data() + offset),
                     value_length - 1);
  }
  offset = Aligned(offset + (type == 1 ? value_length * 2 : value_length));
  while (offset + 6 <= block.size()) {
    WORD child_length;
    std::memcpy(&child_length, block.data() + offset, 2);
    if (child_length == 0) break;
    node.children.push_back(
        ParseVersionNode(block.substr(offset, child_length)));
    offset = Aligned(offset + child_length);
  }
  return node;
}

TEST_F(Resources, VersionInformationIsExactlyAsListed) {
  const std::wstring exe = ExePath();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\",
                               reinterpret_cast<void**>(&fixed), &fixed_size));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed->dwFileDateMS, 0u);
  EXPECT_EQ(fixed->dwFileDateLS, 0u);

  WORD* translation = nullptr;
  UINT translation_size = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation),
                               &translation_size));
  ASSERT_EQ(translation_size, 4u) << "one translation";
  EXPECT_EQ(translation[0], 0x0407);
  EXPECT_EQ(translation[1], 1200);

  // The whole tree, to see the order and that nothing else is there.
  const VersionNode root =
      ParseVersionNode(Bytes(RT_VERSION, MAKEINTRESOURCEW(1)));
  EXPECT_EQ(root.key, L"VS_VERSION_INFO");
  const VersionNode* strings = nullptr;
  for (const VersionNode& child : root.children) {
    if (child.key == L"StringFileInfo") strings = &child;
  }
  ASSERT_NE(strings, nullptr);
  ASSERT_EQ(strings->children.size(), 1u) << "one string table";
  const VersionNode& table = strings->children[0];
  EXPECT_EQ(table.key, L"040704B0");
  const std::vector<std::pair<std::wstring, std::wstring>> expected = {
      {L"CompanyName", L"Brevinor Project"},
      {L"ProductName", L"Brevinor"},
      {L"FileVersion", L"1.00"},
      {L"ProductVersion", L"1.00"},
      {L"InternalName", L"Tessaly"},
      {L"OriginalFilename", L"Tessaly.exe"},
  };
  std::vector<std::pair<std::wstring, std::wstring>> entries;
  for (const VersionNode& entry : table.children) {
    entries.emplace_back(entry.key, entry.text);
  }
  EXPECT_EQ(entries, expected);
}

TEST_F(Resources, IconGroupHasSixteenColourImagesAtSixteenAndThirtyTwo) {
  const std::string_view group = Bytes(RT_GROUP_ICON, MAKEINTRESOURCEW(1));
  ASSERT_GE(group.size(), 6u);
  WORD header[3];
  std::memcpy(header, group.data(), 6);
  EXPECT_EQ(header[1], 1) << "an icon, not a cursor";
  ASSERT_EQ(header[2], 2) << "two images";
  ASSERT_EQ(group.size(), 6u + 2 * 14);

  const RGBQUAD standard[16] = {
      {0, 0, 0, 0},         {0, 0, 0x80, 0},       {0, 0x80, 0, 0},
      {0, 0x80, 0x80, 0},   {0x80, 0, 0, 0},       {0x80, 0, 0x80, 0},
      {0x80, 0x80, 0, 0},   {0xC0, 0xC0, 0xC0, 0}, {0x80, 0x80, 0x80, 0},
      {0, 0, 0xFF, 0},      {0, 0xFF, 0, 0},       {0, 0xFF, 0xFF, 0},
      {0xFF, 0, 0, 0},      {0xFF, 0, 0xFF, 0},    {0xFF, 0xFF, 0, 0},
      {0xFF, 0xFF, 0xFF, 0}};
  const int sizes[] = {16, 32};
  for (int i = 0; i < 2; ++i) {
    const char* entry = group.data() + 6 + 14 * i;
    WORD planes, bit_count, id;
    std::memcpy(&planes, entry + 4, 2);
    std::memcpy(&bit_count, entry + 6, 2);
    std::memcpy(&id, entry + 12, 2);
    const int size = sizes[i];
    EXPECT_EQ(static_cast<BYTE>(entry[0]), size);
    EXPECT_EQ(static_cast<BYTE>(entry[1]), size);
    EXPECT_EQ(static_cast<BYTE>(entry[2]), 16) << "colours";
    EXPECT_EQ(bit_count, 4);

    const std::string_view image = Bytes(RT_ICON, MAKEINTRESOURCEW(id));
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER) + sizeof standard);
    BITMAPINFOHEADER bitmap;
    std::memcpy(&bitmap, image.data(), sizeof bitmap);
    EXPECT_EQ(bitmap.biWidth, size);
    EXPECT_EQ(bitmap.biHeight, 2 * size) << "colour and mask";
    EXPECT_EQ(bitmap.biBitCount, 4);
    EXPECT_EQ(
        std::memcmp(image.data() + sizeof bitmap, standard, sizeof standard), 0)
        << "the standard palette";
    const std::size_t colour_bytes = size * size / 2;
    const std::size_t mask_bytes = (size + 31) / 32 * 4 * size;
    EXPECT_EQ(image.size(),
              sizeof bitmap + sizeof standard + colour_bytes + mask_bytes);
    const std::string_view mask = image.substr(image.size() - mask_bytes);
    EXPECT_NE(mask.find_first_not_of('\0'), std::string_view::npos)
        << "nothing transparent";
  }
}

TEST_F(Resources, FormIsAnEmptyDialogCaptionedForm1) {
  const std::string_view form = Bytes(RT_DIALOG, L"FRMICON");
  ASSERT_GE(form.size(), 18u + 4u);
  DLGTEMPLATE header;
  std::memcpy(&header, form.data(), 18);
  EXPECT_EQ(header.cdit, 0) << "no controls";
  EXPECT_NE(header.style & WS_CAPTION, 0u);
  WORD menu, window_class;
  std::memcpy(&menu, form.data() + 18, 2);
  std::memcpy(&window_class, form.data() + 20, 2);
  EXPECT_EQ(menu, 0);
  EXPECT_EQ(window_class, 0);
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(form.data() + 22)),
            L"Form1");
}

TEST_F(Resources, ManifestAsksForWhatItShould) {
  const std::string manifest(Bytes(RT_MANIFEST, MAKEINTRESOURCEW(1)));
  for (const char* wanted : {
           "level=\"asInvoker\"",
           "name=\"Microsoft.Windows.Common-Controls\"",
           "version=\"6.0.0.0\"",
           ">true/pm</dpiAware>",
           ">PerMonitorV2, PerMonitor</dpiAwareness>",
           "{e2011457-1546-43c5-a5fe-008deee3d3f0}",
           "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
           "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
           "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
       }) {
    EXPECT_NE(manifest.find(wanted), std::string::npos) << wanted;
  }
}

BOOL CALLBACK NoteLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language,
                           LONG_PTR languages) {
  reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
  return TRUE;
}

BOOL CALLBACK NoteName(HMODULE module, LPCWSTR type, LPWSTR name,
                       LONG_PTR languages) {
  ::EnumResourceLanguagesW(module, type, name, NoteLanguage, languages);
  return TRUE;
}

BOOL CALLBACK NoteType(HMODULE module, LPWSTR type, LONG_PTR found) {
  auto* types =
      reinterpret_cast<std::map<ULONG_PTR, std::vector<WORD>>*>(found);
  if (IS_INTRESOURCE(type)) {
    ::EnumResourceNamesW(module, type, NoteName,
                         reinterpret_cast<LONG_PTR>(
                             &(*types)[reinterpret_cast<ULONG_PTR>(type)]));
  } else {
    (*types)[0].push_back(0);  // A named type: not one of ours.
  }
  return TRUE;
}

TEST_F(Resources, EveryResourceIsGermanAndOfAKnownType) {
  std::map<ULONG_PTR, std::vector<WORD>> languages_by_type;
  ::EnumResourceTypesW(module_.get(), NoteType,
                       reinterpret_cast<LONG_PTR>(&languages_by_type));
  const std::map<ULONG_PTR, std::size_t> expected_counts = {
      {reinterpret_cast<ULONG_PTR>(RT_ICON), 2},
      {reinterpret_cast<ULONG_PTR>(RT_DIALOG), 1},
      {reinterpret_cast<ULONG_PTR>(RT_GROUP_ICON), 1},
      {reinterpret_cast<ULONG_PTR>(RT_VERSION), 1},
      {reinterpret_cast<ULONG_PTR>(RT_MANIFEST), 1},
  };
  std::map<ULONG_PTR, std::size_t> counts;
  for (const auto& [type, languages] : languages_by_type) {
    counts[type] = languages.size();
    for (WORD language : languages) {
      EXPECT_EQ(language, kGerman) << "resource type " << type;
    }
  }
  EXPECT_EQ(counts, expected_counts);
}

TEST(ExecutableTest, IsA32BitLargeAddressAwareGuiProgram) {
  const std::string image = ReadBytes(ExePath());
  ASSERT_GT(image.size(), 0x40u);
  LONG header_offset;
  std::memcpy(&header_offset, image.data() + 0x3C, 4);
  IMAGE_NT_HEADERS32 headers;
  ASSERT_GE(image.size(), header_offset + sizeof headers);
  std::memcpy(&headers, image.data() + header_offset, sizeof headers);
  EXPECT_EQ(headers.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
  EXPECT_EQ(headers.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_NE(headers.FileHeader.Characteristics & IMAGE_FILE_LARGE_ADDRESS_AWARE,
            0);
  EXPECT_EQ(headers.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
  EXPECT_EQ(headers.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  // A terminal server gives a program without the flag a private Windows
  // folder, with no Notepad in it.
  for (const WORD flag : {IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE,
                          IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE,
                          IMAGE_DLLCHARACTERISTICS_NX_COMPAT}) {
    EXPECT_EQ(headers.OptionalHeader.DllCharacteristics & flag, flag)
        << std::hex << flag;
  }
  EXPECT_EQ(headers.FileHeader.TimeDateStamp, 0u) << "no link time";
}

TEST(ExecutableTest, CheckSumIsWhatWindowsComputes) {
  DWORD in_header = 0;
  DWORD computed = 0;
  ASSERT_EQ(::MapFileAndCheckSumW(ExePath().c_str(), &in_header, &computed),
            static_cast<DWORD>(CHECKSUM_SUCCESS));
  EXPECT_NE(computed, 0u);
  EXPECT_EQ(in_header, computed);
}

// The names of the DLLs an image imports at load time, read from its
// import directory.
std::vector<std::string> ImportedDlls(const std::string& image) {
  LONG header_offset;
  std::memcpy(&header_offset, image.data() + 0x3C, 4);
  IMAGE_NT_HEADERS32 headers;
  std::memcpy(&headers, image.data() + header_offset, sizeof headers);
  const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
      image.data() + header_offset +
      offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
      headers.FileHeader.SizeOfOptionalHeader);
  const auto file_offset = [&](DWORD rva) -> std::size_t {
    for (WORD i = 0; i < headers.FileHeader.NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& section = sections[i];
      if (rva >= section.VirtualAddress &&
          rva < section.VirtualAddress + section.Misc.VirtualSize) {
        return rva - section.VirtualAddress + section.PointerToRawData;
      }
    }
    return std::string::npos;
  };
  std::vector<std::string> names;
  const IMAGE_DATA_DIRECTORY& imports =
      headers.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  std::size_t offset = file_offset(imports.VirtualAddress);
  for (; offset != std::string::npos &&
         offset + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= image.size();
       offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    IMAGE_IMPORT_DESCRIPTOR descriptor;
    std::memcpy(&descriptor, image.data() + offset, sizeof descriptor);
    if (descriptor.Name == 0) break;
    names.emplace_back(image.data() + file_offset(descriptor.Name));
  }
  return names;
}

TEST(ExecutableTest, ImportsOnlyKernel32AndTheCRuntimeAndDelayLoadsNothing) {
  const std::string image = ReadBytes(ExePath());
  // Known DLLs that always come from System32. Whatever else a run needs,
  // USER32 for a message box say, it loads from there when it needs it, so
  // a small file's run loads nothing it does not use.
  const std::set<std::string> known_dlls = {"kernel32.dll", "msvcrt.dll"};
  const std::vector<std::string> imported = ImportedDlls(image);
  EXPECT_FALSE(imported.empty());
  for (std::string name : imported) {
    for (char& c : name) c = static_cast<char>(std::tolower(c));
    EXPECT_TRUE(known_dlls.count(name)) << name << " is not a known DLL";
  }
  LONG header_offset;
  std::memcpy(&header_offset, image.data() + 0x3C, 4);
  IMAGE_NT_HEADERS32 headers;
  std::memcpy(&headers, image.data() + header_offset, sizeof headers);
  EXPECT_EQ(
      headers.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT]
          .VirtualAddress,
      0u);
}

}  // namespace
}  // namespace tessaly::testing
