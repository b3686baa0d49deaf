// A Corvane.dll as a file: the machine type, the four entry points exported by their undecorated
// names, and the version resource. Run on this tree's DLL and on the peer 32-bit DLL, which
// holds a 32-bit build that this machine may not be able to run to its shape.
#include <cstdio>
#include <cstring>
#include <vector>

#include "tests/com/com_support.h"
#include "tests/com/dll_under_test.h"

namespace corvane::comtest {
namespace {

std::vector<BYTE> ReadFileBytes(const std::wstring& path) {
  std::vector<BYTE> bytes;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return bytes;
  BYTE buffer[65536];
  for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;)
    bytes.insert(bytes.end(), buffer, buffer + got);
  fclose(file);
  return bytes;
}

// What the tests need of a PE file, read with every offset checked against the file's size.
struct PeFile {
  WORD machine = 0;
  std::vector<std::string> exports;  // names in the export directory's (sorted) order
  std::string error;                 // empty when the file was read
};

PeFile ReadPe(const std::vector<BYTE>& file) {
  PeFile pe;
  auto fits = [&](size_t offset, size_t size) {
    return offset <= file.size() && size <= file.size() - offset;
  };
  auto at = [&](size_t offset) { return file.data() + offset; };
  IMAGE_DOS_HEADER dos;
  if (!fits(0, sizeof dos)) return pe.error = "no DOS header", pe;
  std::memcpy(&dos, at(0), sizeof dos);
  const size_t nt = static_cast<size_t>(dos.e_lfanew);
  IMAGE_FILE_HEADER header;
  if (dos.e_magic != IMAGE_DOS_SIGNATURE || !fits(nt, 4 + sizeof header) ||
      std::memcmp(at(nt), "PE\0\0", 4) != 0)
    return pe.error = "no PE signature", pe;
  std::memcpy(&header, at(nt + 4), sizeof header);
  pe.machine = header.Machine;

  const size_t optional = nt + 4 + sizeof header;
  WORD magic = 0;
  if (!fits(optional, sizeof magic)) return pe.error = "no optional header", pe;
  std::memcpy(&magic, at(optional), sizeof magic);
  IMAGE_DATA_DIRECTORY exports{};
  if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC && fits(optional, sizeof(IMAGE_OPTIONAL_HEADER32))) {
    IMAGE_OPTIONAL_HEADER32 h;
    std::memcpy(&h, at(optional), sizeof h);
    exports = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC &&
             fits(optional, sizeof(IMAGE_OPTIONAL_HEADER64))) {
    IMAGE_OPTIONAL_HEADER64 h;
    std::memcpy(&h, at(optional), sizeof h);
    exports = h.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  } else {
    return pe.error = "unknown optional header", pe;
  }

  // Relative virtual addresses to file offsets through the section table.
  std::vector<IMAGE_SECTION_HEADER> sections(header.NumberOfSections);
  const size_t table = optional + header.SizeOfOptionalHeader;
  if (!fits(table, sections.size() * sizeof(IMAGE_SECTION_HEADER)))
    return pe.error = "truncated section table", pe;
  std::memcpy(sections.data(), at(table), sections.size() * sizeof(IMAGE_SECTION_HEADER));
  auto offset_of = [&](DWORD rva, size_t size) -> size_t {
    for (const IMAGE_SECTION_HEADER& s : sections) {
      if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData) {
        const size_t offset = s.PointerToRawData + (rva - s.VirtualAddress);
        if (fits(offset, size)) return offset;
      }
    }
    return SIZE_MAX;
  };

  if (exports.VirtualAddress == 0) return pe;
  IMAGE_EXPORT_DIRECTORY directory;
  const size_t dir = offset_of(exports.VirtualAddress, sizeof directory);
  if (dir == SIZE_MAX) return pe.error = "export directory outside the file", pe;
  std::memcpy(&directory, at(dir), sizeof directory);
  for (DWORD i = 0; i < directory.NumberOfNames; ++i) {
    DWORD name_rva = 0;
    const size_t slot = offset_of(directory.AddressOfNames + i * sizeof(DWORD), sizeof(DWORD));
    if (slot == SIZE_MAX) return pe.error = "export name table outside the file", pe;
    std::memcpy(&name_rva, at(slot), sizeof name_rva);
    const size_t name = offset_of(name_rva, 1);
    if (name == SIZE_MAX) return pe.error = "export name outside the file", pe;
    const void* end = std::memchr(at(name), 0, file.size() - name);
    if (end == nullptr) return pe.error = "unterminated export name", pe;
    pe.exports.emplace_back(reinterpret_cast<const char*>(at(name)));
  }
  return pe;
}

class DllShape : public ::testing::TestWithParam<DllUnderTest> {};

TEST_P(DllShape, MachineTypeAndUndecoratedEntryPoints) {
  const std::vector<BYTE> file = ReadFileBytes(GetParam().path);
  ASSERT_FALSE(file.empty()) << "cannot read the DLL";
  const PeFile pe = ReadPe(file);
  ASSERT_EQ(pe.error, "");
  EXPECT_EQ(pe.machine, GetParam().machine);
  const std::vector<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject",
                                             "DllRegisterServer", "DllUnregisterServer"};
  EXPECT_EQ(pe.exports, expected);
}

TEST_P(DllShape, VersionResourceNamesTheModuleAndVersion) {
  const wchar_t* path = GetParam().path.c_str();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));
  struct Row {
    const wchar_t* field;
    const wchar_t* expected;
  };
  const Row rows[] = {{L"FileVersion", L"1.01"},
                      {L"ProductVersion", L"1.01"},
                      {L"InternalName", L"Corvane"},
                      {L"OriginalFilename", L"Corvane.dll"}};
  for (const Row& row : rows) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + row.field;
    wchar_t* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(
        VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
        << row.field;
    EXPECT_EQ(std::wstring(value), row.expected);
  }
}

// A peer run without the peer would check nothing and pass.
TEST(PeerDll, IsGiven) {
  ASSERT_TRUE(PeerDll().has_value()) << "CORVANE_PEER_DLL names no DLL";
}

INSTANTIATE_TEST_SUITE_P(Own, DllShape, ::testing::Values(OwnDll()),
                         [](const auto& info) { return info.param.label; });
INSTANTIATE_TEST_SUITE_P(Peer, DllShape, ::testing::ValuesIn(PeerDlls()),
                         [](const auto& info) { return info.param.label; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(DllShape);

}  // namespace
}  // namespace corvane::comtest
