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
    std::uint16_t image_version[2] = {};  // major, minor
    std::uint16_t subsystem = 0;
    // The version resource (type 16): its language and its bytes.
    std::uint32_t version_language = 0;
    std::string version_resource;
};

// A VS_VERSIONINFO block read as a tree: every node by its path of keys
// ("VS_VERSION_INFO/StringFileInfo/040D04E7/OriginalFilename"), with its
// value's bytes (UTF-16 strings converted to ASCII).
struct VersionInfo {
    std::vector<std::pair<std::string, std::string>> values;
    std::string get(const std::string& path) const;
};
VersionInfo read_version(const std::string& resource);

PeImage read_pe(const std::string& path);

}  // namespace he::test
