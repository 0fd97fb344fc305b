// A small reader of the parts of a PE image (a Windows DLL) that the tests
// check: export directory, imports, TLS directory and sections.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace he::test {

struct PeExport {
    std::uint32_t ordinal;
    std::string name;  // empty for an export by ordinal only
    std::uint32_t rva;
};

struct PeSection {
    std::string name;
    std::uint32_t rva, size, characteristics;
    std::uint32_t file_offset, raw_size;
};

struct PeImage {
    std::string error;  // empty when the file was read
    std::uint16_t machine = 0;
    std::uint32_t entry_rva = 0;
    std::string module_name;  // as the export directory records it
    std::uint32_t function_count = 0;
    std::vector<PeExport> exports;  // sorted by ordinal
    std::vector<std::string> imports;
    bool has_tls = false;
    std::vector<PeSection> sections;
};

PeImage read_pe(const std::string& path);

}  // namespace he::test
