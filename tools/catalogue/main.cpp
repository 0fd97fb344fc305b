// hecat: the catalogue tool for the people who maintain the Hebrew texts.
// It reads the same tables the DLL is built from.
//
//   hecat list [--family FAMILY] [--name PATTERN]
//   hecat show NAME [--max N]
//   hecat check
//   hecat export --format json|csv [--output FILE]
//   hecat preview [--output FILE]
//   hecat preview --terminal
#include <fnmatch.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "catalogue/native_exports.h"
#include "catalogue/arguments.h"
#include "model.h"
#include "render.h"
#include "rules.h"

namespace {

using namespace he::tool;

constexpr const char* kUsage =
    "usage: hecat list [--family FAMILY] [--name PATTERN]\n"
    "       hecat show NAME [--max N]\n"
    "       hecat check\n"
    "       hecat export --format json|csv [--output FILE]\n"
    "       hecat preview [--output FILE | --terminal]\n";

struct Usage {
    std::string message;
};

// Options of the form --key VALUE or --flag, after the command and its operands.
struct Args {
    std::vector<std::string> operands;
    std::map<std::string, std::string> options;
};

Args parse(int argc, char** argv, const std::map<std::string, bool>& known /* option -> takes a value */) {
    Args args;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (!a.starts_with("--")) {
            args.operands.push_back(a);
            continue;
        }
        const auto it = known.find(a);
        if (it == known.end()) throw Usage{"unknown option " + a};
        if (args.options.count(a)) throw Usage{"option " + a + " given twice"};
        if (!it->second) {
            args.options[a] = "";
        } else if (i + 1 < argc) {
            args.options[a] = argv[++i];
        } else {
            throw Usage{"option " + a + " needs a value"};
        }
    }
    return args;
}

// Writes the whole output, or nothing: a temporary file renamed into place.
int write_output(const std::string& content, const std::map<std::string, std::string>& options) {
    const auto it = options.find("--output");
    if (it == options.end()) {
        std::fwrite(content.data(), 1, content.size(), stdout);
        return 0;
    }
    const std::string path = it->second, tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (out) out.write(content.data(), static_cast<std::streamsize>(content.size()));
        if (!out || !out.flush()) {
            const int err = errno;
            std::remove(tmp.c_str());
            std::fprintf(stderr, "hecat: cannot write %s: %s\n", path.c_str(), std::strerror(err ? err : EIO));
            return 2;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        std::remove(tmp.c_str());
        std::fprintf(stderr, "hecat: cannot write %s: %s\n", path.c_str(), std::strerror(err));
        return 2;
    }
    return 0;
}

int list(const Args& args) {
    if (!args.operands.empty()) throw Usage{"list takes no operand"};
    const auto family = args.options.find("--family"), pattern = args.options.find("--name");
    std::string out;
    for (const auto& item : items()) {
        const auto& e = *item.entry;
        if (family != args.options.end() && e.family != family->second) continue;
        if (pattern != args.options.end() && fnmatch(pattern->second.c_str(), std::string(e.name).c_str(), 0) != 0) continue;
        char head[96];
        std::snprintf(head, sizeof head, "%4u  %-28s %-10s %3zu  ", item.ordinal, std::string(e.name).c_str(),
                      std::string(e.family).c_str(), e.text.size());
        out += head + to_utf8(e.text, true) + "\n";
    }
    return write_output(out, args.options);
}

int show(const Args& args) {
    if (args.operands.size() != 1) throw Usage{"show takes one entry name"};
    const std::string& name = args.operands[0];
    int max_len = 255;
    if (const auto it = args.options.find("--max"); it != args.options.end()) {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(it->second.c_str(), &end, 10);
        if (it->second.empty() || *end != '\0' || errno != 0 || v < INT_MIN || v > INT_MAX)
            throw Usage{"--max takes a whole number from " + std::to_string(INT_MIN) + " to " + std::to_string(INT_MAX)};
        max_len = static_cast<int>(v);
    }
    for (const auto& [export_name, fn] : he::kNativeExports) {
        if (export_name != name) continue;
        char buffer[256];
        char* result = fn(buffer, max_len);
        const std::string_view delivered(result);
        std::string hex;
        for (const char c : delivered) {
            char b[4];
            std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned char>(c));
            hex += b;
        }
        std::printf("%s, MaxLen %d: %zu bytes and the zero byte (ordinal %u)\n", name.c_str(), max_len, delivered.size(),
                    ordinal_of(name));
        std::printf("hex:  %s00\n", hex.c_str());
        std::printf("text: %s\n", to_utf8(delivered, true).c_str());
        return 0;
    }
    std::fprintf(stderr, "hecat: no entry named %s\n", name.c_str());
    return 2;
}

int check(const Args& args) {
    if (!args.operands.empty()) throw Usage{"check takes no operand"};
    const auto findings = he::tool::check(he::identity_entries(), he::table_entries(), he::catalogue_order());
    for (const auto& f : findings) std::printf("%s: %s\n", f.name.c_str(), f.message.c_str());
    std::printf("%zu entries checked, %zu findings\n", items().size(), findings.size());
    return findings.empty() ? 0 : 1;
}

int export_rows(const Args& args) {
    if (!args.operands.empty()) throw Usage{"export takes no operand"};
    const auto format = args.options.find("--format");
    if (format == args.options.end() || (format->second != "json" && format->second != "csv"))
        throw Usage{"export needs --format json or --format csv"};
    return write_output(format->second == "json" ? json_export(items()) : csv_export(items()), args.options);
}

int preview(const Args& args) {
    if (!args.operands.empty()) throw Usage{"preview takes no operand"};
    if (!args.options.count("--terminal")) return write_output(html_preview(items()), args.options);
    if (args.options.count("--output")) throw Usage{"--terminal writes to the terminal, not to --output"};
    // The visual order of every line a reader sees, templates filled.
    std::map<std::string_view, bool> is_template;
    for (const auto& t : he::kTemplateArguments) is_template[t.name] = true;
    std::string out;
    for (const auto& item : items()) {
        const auto& e = *item.entry;
        const std::string shown = is_template[e.name] ? fill_sample(e.text) : std::string(e.text);
        out += std::string(e.name) + "\n";
        const std::string visual = per_line(to_utf8(shown), visual_order);
        for (std::size_t start = 0;;) {
            const auto cr = visual.find('\r', start);
            out += "    |" + visual.substr(start, cr - start) + "|\n";
            if (cr == std::string::npos) break;
            start = cr + 1;
        }
    }
    return write_output(out, args.options);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "list") return list(parse(argc, argv, {{"--family", true}, {"--name", true}, {"--output", true}}));
        if (command == "show") return show(parse(argc, argv, {{"--max", true}}));
        if (command == "check") return check(parse(argc, argv, {}));
        if (command == "export") return export_rows(parse(argc, argv, {{"--format", true}, {"--output", true}}));
        if (command == "preview") return preview(parse(argc, argv, {{"--output", true}, {"--terminal", false}}));
        if (command == "--help" || command == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        throw Usage{command.empty() ? "no command" : "unknown command " + command};
    } catch (const Usage& u) {
        std::fprintf(stderr, "hecat: %s (hecat --help)\n", u.message.c_str());
        return 2;
    }
}
