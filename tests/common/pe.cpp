#include "pe.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace he::test {
namespace {

struct Reader {
    std::vector<unsigned char> bytes;
    bool ok = true;

    std::uint32_t u(std::size_t at, int width) {
        if (at + static_cast<std::size_t>(width) > bytes.size()) {
            ok = false;
            return 0;
        }
        std::uint32_t v = 0;
        for (int i = width - 1; i >= 0; --i) v = (v << 8) | bytes[at + static_cast<std::size_t>(i)];
        return v;
    }
    std::uint32_t u16(std::size_t at) { return u(at, 2); }
    std::uint32_t u32(std::size_t at) { return u(at, 4); }
    std::string str(std::size_t at) {
        std::string s;
        while (at < bytes.size() && bytes[at] != 0) s += static_cast<char>(bytes[at++]);
        if (at >= bytes.size()) ok = false;
        return s;
    }
};

}  // namespace

PeImage read_pe(const std::string& path) {
    PeImage img;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        img.error = "cannot open " + path;
        return img;
    }
    Reader r{{std::istreambuf_iterator<char>(in), {}}};
    const std::size_t pe = r.u32(0x3C);
    if (r.u32(pe) != 0x4550) {  // "PE\0\0"
        img.error = path + " is not a PE image";
        return img;
    }
    img.machine = static_cast<std::uint16_t>(r.u16(pe + 4));
    const std::size_t sections = r.u16(pe + 6);
    const std::size_t opt = pe + 24;
    const std::size_t opt_size = r.u16(pe + 20);
    const bool pe32plus = r.u16(opt) == 0x20B;
    img.entry_rva = r.u32(opt + 16);
    const std::size_t dirs = opt + (pe32plus ? 112 : 96);
    const auto dir_rva = [&](int i) { return r.u32(dirs + static_cast<std::size_t>(i) * 8); };

    for (std::size_t i = 0; i < sections; ++i) {
        const std::size_t s = opt + opt_size + i * 40;
        std::string name;
        for (std::size_t k = 0; k < 8 && r.bytes.size() > s + k && r.bytes[s + k]; ++k) name += static_cast<char>(r.bytes[s + k]);
        img.sections.push_back({name, r.u32(s + 12), r.u32(s + 8), r.u32(s + 36), r.u32(s + 20), r.u32(s + 16)});
    }
    // File offset of an address, through the section that holds it.
    const auto off = [&](std::uint32_t rva) -> std::size_t {
        for (std::size_t i = 0; i < sections; ++i) {
            const std::size_t s = opt + opt_size + i * 40;
            const std::uint32_t va = r.u32(s + 12), vsize = std::max(r.u32(s + 8), r.u32(s + 16));
            if (rva >= va && rva < va + vsize) return rva - va + r.u32(s + 20);
        }
        r.ok = false;
        return 0;
    };

    if (const std::uint32_t ed = dir_rva(0)) {
        const std::size_t e = off(ed);
        img.module_name = r.str(off(r.u32(e + 12)));
        const std::uint32_t base = r.u32(e + 16);
        img.function_count = r.u32(e + 20);
        const std::uint32_t names = r.u32(e + 24);
        const std::size_t functions = off(r.u32(e + 28)), name_ptrs = off(r.u32(e + 32)), name_ords = off(r.u32(e + 36));
        for (std::uint32_t i = 0; i < img.function_count && r.ok; ++i)
            if (const std::uint32_t rva = r.u32(functions + i * 4)) img.exports.push_back({base + i, "", rva});
        for (std::uint32_t i = 0; i < names && r.ok; ++i) {
            const std::uint32_t ordinal = base + r.u16(name_ords + i * 2);
            for (auto& x : img.exports)
                if (x.ordinal == ordinal) x.name = r.str(off(r.u32(name_ptrs + i * 4)));
        }
    }
    if (const std::uint32_t id = dir_rva(1)) {
        for (std::size_t d = off(id); r.ok && r.u32(d + 12) != 0; d += 20) img.imports.push_back(r.str(off(r.u32(d + 12))));
    }
    img.has_tls = dir_rva(9) != 0;
    img.image_version[0] = static_cast<std::uint16_t>(r.u16(opt + 44));
    img.image_version[1] = static_cast<std::uint16_t>(r.u16(opt + 46));
    img.subsystem = static_cast<std::uint16_t>(r.u16(opt + 68));
    // Resources: type directory, then name, then language, then the data.
    if (const std::uint32_t rd = dir_rva(2)) {
        const std::size_t root = off(rd);
        const auto first_child = [&](std::size_t dir, std::uint32_t id, bool any) -> std::uint32_t {
            const std::size_t count = r.u16(dir + 12) + r.u16(dir + 14);
            for (std::size_t i = 0; i < count && r.ok; ++i) {
                const std::size_t entry = dir + 16 + i * 8;
                if (any || r.u32(entry) == id) return r.u32(entry + 4);
            }
            return 0;
        };
        if (const std::uint32_t type = first_child(root, 16, false); type & 0x80000000u) {
            if (const std::uint32_t name = first_child(root + (type & 0x7FFFFFFFu), 0, true); name & 0x80000000u) {
                const std::size_t languages = root + (name & 0x7FFFFFFFu);
                img.version_language = r.u32(languages + 16);
                const std::size_t data = root + (r.u32(languages + 20) & 0x7FFFFFFFu);
                const std::size_t at = off(r.u32(data)), size = r.u32(data + 4);
                if (r.ok && at + size <= r.bytes.size())
                    img.version_resource.assign(r.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                                r.bytes.begin() + static_cast<std::ptrdiff_t>(at + size));
            }
        }
    }
    if (!r.ok) img.error = path + " is truncated or malformed";
    return img;
}

std::string VersionInfo::get(const std::string& path) const {
    for (const auto& [p, v] : values)
        if (p == path) return v;
    return "<missing>";
}

VersionInfo read_version(const std::string& resource) {
    VersionInfo info;
    Reader r{{resource.begin(), resource.end()}};
    const auto align = [](std::size_t at) { return (at + 3) & ~std::size_t{3}; };
    // Each node: length, value length, type (1 = text), key in UTF-16, value, children.
    const auto walk = [&](auto& self, std::size_t at, const std::string& parent) -> void {
        const std::size_t length = r.u16(at), value_length = r.u16(at + 2), type = r.u16(at + 4);
        if (length < 6 || at + length > resource.size()) return;
        std::string key;
        std::size_t k = at + 6;
        for (; k + 1 < resource.size() && r.u16(k) != 0; k += 2) key += static_cast<char>(r.u16(k));
        const std::string path = parent.empty() ? key : parent + "/" + key;
        std::size_t value = align(k + 2);
        std::string bytes;
        if (type == 1) {
            for (std::size_t i = 0; i < value_length && r.u16(value + 2 * i) != 0; ++i) bytes += static_cast<char>(r.u16(value + 2 * i));
            value += value_length * 2;
        } else {
            bytes = resource.substr(value, value_length);
            value += value_length;
        }
        info.values.push_back({path, bytes});
        for (std::size_t child = align(value); child < at + length;) {
            const std::size_t child_length = r.u16(child);
            if (child_length == 0) break;
            self(self, child, path);
            child = align(child + child_length);
        }
    };
    walk(walk, 0, "");
    return info;
}

}  // namespace he::test
