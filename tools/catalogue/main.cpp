// hecat: the catalogue tool for the people who maintain the Hebrew texts.
// It reads the same tables the DLL is built from.
//
//   hecat list [--family FAMILY] [--name PATTERN]
//   hecat show NAME [--max N]
//   hecat check
//   hecat export --format json|csv|po [--output FILE]
//   hecat import FILE.po
//   hecat preview [--output FILE]
//   hecat preview --terminal
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <map>
#include <string>
#include <vector>

#include "catalogue/native_exports.h"
#include "catalogue/arguments.h"
#include "model.h"
#include "render.h"
#include "check.h"
#include "po.h"

namespace {

using namespace he::tool;

constexpr const char* kUsage =
    "usage: hecat list [--family FAMILY] [--name PATTERN]\n"
    "       hecat show NAME [--max N]\n"
    "       hecat check\n"
    "       hecat export --format json|csv|po [--output FILE]\n"
    "       hecat import [--prefer-file] [--change-quoted] FILE.po   (from the repository's top folder)\n"
    "       hecat preview [--output FILE [--shots DIR] | --terminal]\n"
    "--output writes the whole file or nothing; errors print one line and exit with status 2.\n";

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

int cannot_write(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "hecat: cannot write %s: %s\n", path.c_str(), why.c_str());
    return 2;
}

bool write_all(int fd, const std::string& content) {
    for (std::size_t done = 0; done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The folder part of a path, with its slash ("" for a bare name).
std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Writes `content` to a new temporary file of a unique name beside `target`,
// with `mode`, flushed to disk; its name in `tmp` (empty when none was
// made). Returns 0, or the errno of what failed.
int stage(const std::string& target, const std::string& content, mode_t mode, std::string& tmp) {
    tmp = folder_of(target) + ".hecat-XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        tmp.clear();
        return errno;
    }
    bool ok = write_all(fd, content) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int err = ok ? 0 : (errno ? errno : EIO);
    if (::close(fd) != 0 && ok) err = errno;
    return err;
}

// Writes the whole file or leaves everything as it was: the content goes to a
// temporary file of a unique name in the target's folder, which is flushed to
// disk and renamed over the target. A symlink is followed to the file it
// names; a device or a FIFO is written in place, never replaced; nothing but
// hecat's own temporary file is ever created or removed.
int write_file(const std::string& path, const std::string& content) {
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char* real = ::realpath(path.c_str(), nullptr);
        if (real == nullptr) return cannot_write(path, "a symbolic link to a file that does not exist");
        target = real;
        std::free(real);
    }
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return cannot_write(path, "it is a folder");
    if (exists && !S_ISREG(st.st_mode)) {
        const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return cannot_write(path, std::strerror(errno));
        const bool ok = write_all(fd, content);
        const int err = errno;
        if (::close(fd) != 0 || !ok) return cannot_write(path, std::strerror(ok ? errno : err));
        return 0;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    std::string tmp;
    int err = stage(target, content, exists ? (st.st_mode & 07777) : (0666 & ~mask), tmp);
    if (err == 0 && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        if (!tmp.empty()) ::unlink(tmp.c_str());
        return cannot_write(path, std::strerror(err));
    }
    return 0;
}

// To --output when given, else to standard output (checked when hecat ends).
int write_output(const std::string& content, const std::map<std::string, std::string>& options) {
    const auto it = options.find("--output");
    if (it == options.end()) {
        std::fwrite(content.data(), 1, content.size(), stdout);
        return 0;
    }
    return write_file(it->second, content);
}

// The commit of the tables, as git knows it, for the PO header; "unknown"
// outside a git checkout.
std::string tables_commit() {
    FILE* pipe = ::popen("git rev-parse HEAD 2>/dev/null", "r");
    if (pipe == nullptr) return "unknown";
    char buffer[64] = {};
    const bool read = std::fgets(buffer, sizeof buffer, pipe) != nullptr;
    if (::pclose(pipe) != 0 || !read) return "unknown";
    std::string commit(buffer);
    while (!commit.empty() && (commit.back() == '\n' || commit.back() == '\r')) commit.pop_back();
    return commit;
}

int list(const Args& args) {
    if (!args.operands.empty()) throw Usage{"list takes no operand"};
    const auto family = args.options.find("--family"), pattern = args.options.find("--name");
    if (family != args.options.end()) {
        std::string families;
        bool known = false;
        for (const auto& item : items()) {
            const std::string f(item.entry->family);
            known = known || f == family->second;
            if (families.find(" " + f + ",") == std::string::npos && !families.ends_with(" " + f)) families += (families.empty() ? " " : ", ") + f;
        }
        if (!known) throw Usage{"no family " + family->second + "; the families are" + families};
    }
    std::string out;
    for (const auto& item : items()) {
        const auto& e = *item.entry;
        if (family != args.options.end() && e.family != family->second) continue;
        if (pattern != args.options.end() && fnmatch(pattern->second.c_str(), std::string(e.name).c_str(), 0) != 0) continue;
        char head[96];
        std::snprintf(head, sizeof head, "%4u  %-28s %-10s %3zu  ", item.ordinal, std::string(e.name).c_str(),
                      std::string(e.family).c_str(), e.text.size());
        std::string english(e.gloss);  // UTF-8 already; each CR shown as in the text
        for (std::size_t p; (p = english.find('\r')) != std::string::npos;) english.replace(p, 1, "\u23CE");
        out += head + to_utf8(e.text, true) + "    " + english + "\n";
    }
    return write_output(out, args.options);
}

std::size_t text_size(std::string_view name) {
    for (const auto& item : items())
        if (item.entry->name == name) return item.entry->text.size();
    return 0;
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
        // The export writes at most its text and the zero byte.
        std::vector<char> buffer(text_size(name) + 1);
        char* result = fn(buffer.data(), max_len);
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
    std::size_t failed = 0;
    for (const auto& f : findings) {
        failed += !f.advice;
        std::printf("%s%s%s: %s%s\n", f.where.c_str(), f.where.empty() ? "" : ": ", f.name.c_str(),
                    f.advice ? "warning: " : "", f.message.c_str());
    }
    std::printf("%zu entries checked, %zu findings, %zu warnings\n", items().size(), failed, findings.size() - failed);
    return failed == 0 ? 0 : 1;
}

int export_rows(const Args& args) {
    if (!args.operands.empty()) throw Usage{"export takes no operand"};
    const auto format = args.options.find("--format");
    if (format == args.options.end() || (format->second != "json" && format->second != "csv" && format->second != "po"))
        throw Usage{"export needs --format json, csv or po"};
    const std::string& f = format->second;
    return write_output(f == "json" ? json_export(items()) : f == "csv" ? csv_export(items()) : po_export(items(), HE_REVISION, tables_commit()),
                        args.options);
}

// Replaces several files as one: every new content is written to a
// temporary file beside its target and flushed first; only then are they
// renamed into place, each target's old file kept under a second name until
// the last rename succeeds and put back if one fails. A target that is not a
// regular file, or is read-only, is refused before anything is written.
int write_files(const std::vector<std::pair<std::string, std::string>>& files) {
    struct Staged {
        std::string path, target, tmp, old;
        bool replaced = false;
    };
    std::vector<Staged> staged;
    const auto undo = [&](const std::string& path, const std::string& why) {
        for (auto it = staged.rbegin(); it != staged.rend(); ++it) {
            if (it->replaced) ::rename(it->old.c_str(), it->target.c_str());
            else if (!it->old.empty()) ::unlink(it->old.c_str());
            if (!it->tmp.empty()) ::unlink(it->tmp.c_str());
        }
        std::fprintf(stderr, "hecat: cannot write %s: %s; no file changed\n", path.c_str(), why.c_str());
        return 2;
    };
    for (const auto& [path, content] : files) {
        Staged s{path, path, {}, {}};
        if (char* real = ::realpath(path.c_str(), nullptr)) s.target = real, std::free(real);
        struct stat st {};
        if (::stat(s.target.c_str(), &st) != 0) return undo(path, std::strerror(errno));
        if (!S_ISREG(st.st_mode)) return undo(path, "not a regular file");
        if ((st.st_mode & 0222) == 0 || ::access(s.target.c_str(), W_OK) != 0) return undo(path, "it is read-only");
        const int err = stage(s.target, content, st.st_mode & 07777, s.tmp);
        staged.push_back(s);
        if (err != 0) return undo(path, std::strerror(err));
        // The old file keeps a second name until every new one is in place.
        std::string old = folder_of(s.target) + ".hecat-old-XXXXXX";
        const int ofd = ::mkstemp(old.data());
        if (ofd < 0) return undo(path, std::strerror(errno));
        ::close(ofd);
        ::unlink(old.c_str());
        if (::link(s.target.c_str(), old.c_str()) != 0) return undo(path, std::strerror(errno));
        staged.back().old = old;
    }
    for (auto& s : staged) {
        if (::rename(s.tmp.c_str(), s.target.c_str()) != 0) return undo(s.path, std::strerror(errno));
        s.tmp.clear();
        s.replaced = true;
    }
    for (const auto& s : staged) ::unlink(s.old.c_str());
    return 0;
}

// Reads a translators' PO file and rewrites the rows it changes, all of
// them or none: every rule of the build is applied first.
int import_po(const Args& args) {
    if (args.operands.size() != 1) throw Usage{"import takes one PO file"};
    const std::string& path = args.operands[0];
    if (::access(path.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "hecat: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
        return 2;
    }
    if (const std::string why = tables_mismatch("."); !why.empty()) {
        std::fprintf(stderr, "hecat: %s\n", why.c_str());
        return 2;
    }
    const PoFile po = po_read(path);
    if (!po.units.empty() && std::none_of(po.units.begin(), po.units.end(), [](const PoUnit& u) { return !u.base.empty(); }))
        std::printf("%s: no record of the tables it was exported from (written by hand or by an older hecat): "
                    "changes made to the tables since cannot be told from the file's\n", path.c_str());
    const auto plan = plan_import(po, ".", {args.options.count("--prefer-file") > 0, args.options.count("--change-quoted") > 0});
    if (!plan.findings.empty()) {
        // The first findings say what is wrong; a binary or foreign file would give thousands.
        constexpr std::size_t kShown = 20;
        for (std::size_t i = 0; i < plan.findings.size() && i < kShown; ++i) {
            const auto& f = plan.findings[i];
            std::printf("%s%s%s\n", f.name.c_str(), f.name.empty() ? "" : ": ", f.message.c_str());
        }
        const std::size_t all = plan.findings.size() + plan.unlisted;
        std::printf("%zu units read, %zu findings%s: no file changed\n", plan.units, all,
                    all > kShown ? " (the first 20 shown)" : "");
        return 1;
    }
    for (const auto& s : plan.skipped) std::printf("%s: %s\n", s.name.c_str(), s.message.c_str());
    for (const auto& n : plan.notes) std::printf("%s: %s\n", n.name.c_str(), n.message.c_str());
    if (write_files(plan.files) != 0) return 2;
    std::printf("%zu units read, %zu texts changed in %zu files, %zu skipped\n", plan.units, plan.changed,
                plan.files.size(), plan.skipped.size());
    return 0;
}

int preview(const Args& args) {
    if (!args.operands.empty()) throw Usage{"preview takes no operand"};
    if (!args.options.count("--terminal")) {
        // Links to the pictures ./dev shots made, relative to the page.
        std::map<std::string, std::string> pictures;
        if (const auto shots = args.options.find("--shots"); shots != args.options.end()) {
            std::ifstream in(shots->second + "/pictures.tsv");
            if (!in) {
                std::fprintf(stderr, "hecat: no pictures in %s (make them with ./dev shots)\n", shots->second.c_str());
                return 2;
            }
            const auto out = args.options.find("--output");
            const std::filesystem::path base =
                out == args.options.end() ? std::filesystem::current_path() : std::filesystem::absolute(out->second).parent_path();
            const std::string folder = std::filesystem::relative(std::filesystem::absolute(shots->second), base).generic_string();
            for (std::string line; std::getline(in, line);) {
                const auto tab = line.find('\t'), tab2 = line.find('\t', tab + 1);
                if (tab == std::string::npos || tab2 == std::string::npos) continue;
                const std::string png = line.substr(0, tab);
                std::stringstream names(line.substr(tab2 + 1));
                for (std::string name; std::getline(names, name, ',');)
                    if (!pictures.count(name)) pictures[name] = folder + "/" + png;
            }
        }
        return write_output(html_preview(items(), pictures), args.options);
    }
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

int run(int argc, char** argv) {
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "list") return list(parse(argc, argv, {{"--family", true}, {"--name", true}, {"--output", true}}));
        if (command == "show") return show(parse(argc, argv, {{"--max", true}}));
        if (command == "check") return check(parse(argc, argv, {}));
        if (command == "export") return export_rows(parse(argc, argv, {{"--format", true}, {"--output", true}}));
        if (command == "import") return import_po(parse(argc, argv, {{"--prefer-file", false}, {"--change-quoted", false}}));
        if (command == "preview")
            return preview(parse(argc, argv, {{"--output", true}, {"--terminal", false}, {"--shots", true}}));
        if (command == "--help" || command == "-h" || command == "help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        throw Usage{command.empty() ? "no command" : "unknown command " + command};
    } catch (const Usage& u) {
        std::fprintf(stderr, "hecat: %s (hecat --help)\n", u.message.c_str());
        return 2;
    }
}

}  // namespace

int main(int argc, char** argv) {
    int status = run(argc, argv);
    // Output that could not be written is an error, never a silent success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "hecat: cannot write standard output: %s\n", std::strerror(errno ? errno : EIO));
        status = 2;
    }
    if (std::fclose(stdout) != 0 && status == 0) {
        std::fprintf(stderr, "hecat: cannot write standard output: %s\n", std::strerror(errno));
        status = 2;
    }
    return status;
}
