// The library's dynamic symbol table must be exactly the export table in src/frame/exports.map.
#include <cxxabi.h>
#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "support/TestUtil.h"

namespace {

struct DynamicSymbol {
  std::string name;  // demangled
  uint64_t address;
};

std::string Demangle(const char* name) {
  int status = 0;
  char* out = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  std::string result = status == 0 && out ? out : name;
  std::free(out);
  return result;
}

// Defined global and weak symbols of the ELF file's .dynsym.
std::vector<DynamicSymbol> DefinedDynamicSymbols(const std::string& path) {
  const vialto::test::Bytes file = vialto::test::ReadFile(path);
  std::vector<DynamicSymbol> symbols;
  if (file.size() < sizeof(Elf64_Ehdr)) return symbols;
  Elf64_Ehdr eh;
  std::memcpy(&eh, file.data(), sizeof eh);
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64)
    return symbols;
  auto section = [&](std::size_t i) {
    Elf64_Shdr sh;
    std::memcpy(&sh, file.data() + eh.e_shoff + i * eh.e_shentsize, sizeof sh);
    return sh;
  };
  for (std::size_t i = 0; i < eh.e_shnum; ++i) {
    const Elf64_Shdr sh = section(i);
    if (sh.sh_type != SHT_DYNSYM) continue;
    const Elf64_Shdr strtab = section(sh.sh_link);
    const char* strings = reinterpret_cast<const char*>(file.data() + strtab.sh_offset);
    for (std::size_t k = 0; k < sh.sh_size / sizeof(Elf64_Sym); ++k) {
      Elf64_Sym sym;
      std::memcpy(&sym, file.data() + sh.sh_offset + k * sizeof sym, sizeof sym);
      const int bind = ELF64_ST_BIND(sym.st_info);
      if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
      symbols.push_back({Demangle(strings + sym.st_name), sym.st_value});
    }
  }
  return symbols;
}

// The names in the version script's global section, C names and quoted C++ names alike.
std::set<std::string> NamesInExportsMap() {
  std::ifstream in(VIALTO_EXPORTS_MAP);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (auto open = text.find("/*"); open != std::string::npos; open = text.find("/*"))
    text.erase(open, text.find("*/", open) + 2 - open);
  text = text.substr(0, text.find("local:"));
  std::set<std::string> names;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.back() != ';') continue;
    std::string name = line.substr(first, line.size() - 1 - first);
    if (name.size() > 2 && name.front() == '"' && name.back() == '"')
      names.insert(name.substr(1, name.size() - 2));  // a C++ name
    else if (!name.empty() && name.find_first_of(" {}:") == std::string::npos)
      names.insert(name);
  }
  return names;
}

TEST(ExportTable, DynamicSymbolsAreExactlyTheTable) {
  const std::set<std::string> expected = NamesInExportsMap();
  ASSERT_EQ(expected.size(), 52u);
  std::set<std::string> actual;
  for (const auto& s : DefinedDynamicSymbols(VIALTO_LIBRARY_FILE)) actual.insert(s.name);
  for (const auto& name : expected) EXPECT_TRUE(actual.count(name)) << "missing export " << name;
  for (const auto& name : actual) EXPECT_TRUE(expected.count(name)) << "extra export " << name;
}

TEST(ExportTable, TheTwoJpegDeleteNamesAreOneFunction) {
  std::map<std::string, uint64_t> address;
  for (const auto& s : DefinedDynamicSymbols(VIALTO_LIBRARY_FILE)) address[s.name] = s.address;
  ASSERT_TRUE(address.count("Ser_DeleteJpegToRGBBuf"));
  ASSERT_TRUE(address.count("Ser_DeleteRGBToJpegBuf"));
  EXPECT_EQ(address["Ser_DeleteJpegToRGBBuf"], address["Ser_DeleteRGBToJpegBuf"]);
}

}  // namespace
