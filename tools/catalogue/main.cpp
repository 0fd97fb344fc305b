// hecat: the catalogue tool for the people who maintain the Hebrew texts,
// its command line: each command's arguments, what it prints, its status.
// It reads the tables the DLL is built from as their files stand, in the
// checkout whose top folder it runs in, else in the one it was built from;
// every command first finishes or undoes an import that was interrupted.
//
//   hecat list [--family FAMILY] [--name PATTERN]
//   hecat show NAME [--max N]
//   hecat check
//   hecat export --format json|csv|po|pot [--no-commit] [--output FILE]
//   hecat import [OPTIONS] FILE.po
//   hecat update FILE.po [--output FILE]
//   hecat preview [--output FILE]
//   hecat preview --terminal
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "check.h"
#include "checkout.h"
#include "deliver.h"
#include "files.h"
#include "import.h"
#include "model.h"
#include "po.h"
#include "preview.h"
#include "spreadsheet.h"
#include "table_files.h"
#include "update.h"

namespace {

using namespace he::tool;

constexpr const char* kUsage =
    "usage: hecat list [--family FAMILY] [--name PATTERN]\n"
    "       hecat show NAME [--max N]\n"
    "       hecat check\n"
    "       hecat export --format json|csv|po|pot [--no-commit] [--output FILE]\n"
    "       hecat import [--dry-run] [--prefer-file | --prefer-tables] [--partial] [--change-quoted] FILE.po\n"
    "                                                   (from the repository's top folder)\n"
    "       hecat update FILE.po [--output FILE]        (brings an old file up to the tables)\n"
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

// A finding as its line: "file:line: Name: message", without the parts it lacks.
std::string line_of(const Finding& f) {
    return visible(f.where + (f.where.empty() ? "" : ": ") + f.name + (f.name.empty() ? "" : ": ") +
                   (f.advice ? "warning: " : "") + f.message);
}

// Says the first finding of the reader in one line; 2.
int unreadable(const Catalogue& c) {
    std::fprintf(stderr, "hecat: %s (hecat check lists every finding)\n", line_of(c.unread.front()).c_str());
    return 2;
}

// Reads the tables of the checkout at `root` for a command: under its lock,
// once what an interrupted import left is finished or undone. An import
// keeps the lock until hecat ends (`hold`); the other commands let it go
// once the tables are read. Returns 0, or 2 once it said why not.
int read_tables(const std::string& root, bool hold, Catalogue& catalogue) {
    if (!is_checkout_top(root)) {
        std::fprintf(stderr, "hecat: no tables here, nor in %s, the checkout hecat was built from: run it from a checkout's top folder\n",
                     root.c_str());
        return 2;
    }
    std::string said, why = lock_folder(root);
    if (why.empty()) why = recover_files(root, said);
    if (!said.empty()) std::fprintf(stderr, "hecat: %s\n", said.c_str());
    if (!why.empty()) {
        std::fprintf(stderr, "hecat: %s\n", why.c_str());
        return 2;
    }
    catalogue = read_catalogue(root);
    if (!hold) unlock_folder();
    return 0;
}

// The same for a command that needs every row: 2 once it said what the
// reader could not read.
int read_every_row(const std::string& root, bool hold, Catalogue& catalogue) {
    if (const int status = read_tables(root, hold, catalogue); status != 0) return status;
    return catalogue.unread.empty() ? 0 : unreadable(catalogue);
}

// To --output when given, else to standard output (checked when hecat ends);
// never through a link that leads out of the checkout hecat reads.
int write_output(const std::string& content, const std::map<std::string, std::string>& options) {
    const auto it = options.find("--output");
    if (it == options.end()) {
        std::fwrite(content.data(), 1, content.size(), stdout);
        return 0;
    }
    if (const std::string why = write_file(it->second, content, tables_folder()); !why.empty()) {
        std::fprintf(stderr, "hecat: %s\n", why.c_str());
        return 2;
    }
    return 0;
}

int list(const Args& args) {
    if (!args.operands.empty()) throw Usage{"list takes no operand"};
    const auto family = args.options.find("--family"), pattern = args.options.find("--name");
    if (family != args.options.end() && !he::find_family(family->second)) {
        std::string families;
        for (const auto& f : he::kFamilies) families += (families.empty() ? " " : ", ") + std::string(f.name);
        throw Usage{"no family " + family->second + "; the families are" + families};
    }
    Catalogue catalogue;
    if (const int status = read_every_row(tables_folder(), false, catalogue); status != 0) return status;
    std::string out;
    for (const auto& item : items(catalogue)) {
        const auto& e = *item.entry;
        if (family != args.options.end() && e.family != family->second) continue;
        if (pattern != args.options.end() && fnmatch(pattern->second.c_str(), std::string(e.name).c_str(), 0) != 0) continue;
        char head[96];
        std::snprintf(head, sizeof head, "%4u  %-28s %-10s %3zu  ", item.ordinal, std::string(e.name).c_str(),
                      std::string(e.family).c_str(), e.text.size());
        out += head + to_utf8(e.text, true) + "    " + visible(e.gloss) + "\n";
    }
    return write_output(out, args.options);
}

// What the export delivers: its text read from the tables, through the copy
// routine every export of the DLL runs.
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
    Catalogue catalogue;
    if (const int status = read_every_row(tables_folder(), false, catalogue); status != 0) return status;
    for (const auto& item : items(catalogue)) {
        const auto& e = *item.entry;
        if (e.name != name) continue;
        // A row the build refuses has no export to show.
        for (const auto& f : he::tool::check(catalogue))
            if (!f.advice && f.name == name) {
                std::fprintf(stderr, "hecat: %s (the build refuses this row)\n", line_of(f).c_str());
                return 2;
            }
        // The copy writes at most the text and the zero byte.
        std::vector<char> buffer(e.text.size() + 1);
        const char* result = he::DeliverText(e.text.data(), static_cast<std::uint32_t>(e.text.size()), buffer.data(), max_len);
        const std::string_view delivered(result);
        std::string hex;
        for (const char c : delivered) {
            char b[4];
            std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned char>(c));
            hex += b;
        }
        std::printf("%s, MaxLen %d: %zu bytes and the zero byte (ordinal %u)\n", name.c_str(), max_len, delivered.size(),
                    item.ordinal);
        std::printf("hex:  %s00\n", hex.c_str());
        std::printf("text: %s\n", to_utf8(delivered, true).c_str());
        return 0;
    }
    std::fprintf(stderr, "hecat: no entry named %s\n", name.c_str());
    return 2;
}

int check(const Args& args) {
    if (!args.operands.empty()) throw Usage{"check takes no operand"};
    Catalogue catalogue;
    if (const int status = read_tables(tables_folder(), false, catalogue); status != 0) return status;
    auto findings = catalogue.unread;
    for (auto& f : he::tool::check(catalogue))
        findings.push_back(std::move(f));
    std::size_t failed = 0;
    for (const auto& f : findings) {
        failed += !f.advice;
        std::printf("%s\n", line_of(f).c_str());
    }
    std::printf("%zu entries checked, %zu findings, %zu warnings\n", items(catalogue).size(), failed, findings.size() - failed);
    return failed == 0 ? 0 : 1;
}

int export_rows(const Args& args) {
    if (!args.operands.empty()) throw Usage{"export takes no operand"};
    const auto format = args.options.find("--format");
    if (format == args.options.end() ||
        (format->second != "json" && format->second != "csv" && format->second != "po" && format->second != "pot"))
        throw Usage{"export needs --format json, csv, po or pot"};
    const std::string& f = format->second;
    if (args.options.count("--no-commit") && f != "po" && f != "pot") throw Usage{"--no-commit is for --format po or pot"};
    const std::string root = tables_folder();
    Catalogue catalogue;
    if (const int status = read_every_row(root, false, catalogue); status != 0) return status;
    // A text the build refuses is not handed to translators or spreadsheets.
    for (const auto& finding : he::tool::check(catalogue)) {
        if (finding.advice) continue;
        std::fprintf(stderr, "hecat: %s (hecat check lists every finding); nothing exported\n", line_of(finding).c_str());
        return 2;
    }
    if (f != "po" && f != "pot") return write_output(f == "json" ? json_export(items(catalogue)) : csv_export(items(catalogue)), args.options);
    // A PO file records the commit of the checkout whose tables it holds and
    // its date, and says so where the files read differ from it; the copies
    // kept in the repository record neither.
    const bool copy = args.options.count("--no-commit") > 0;
    PoExport po{.pot = f == "pot", .revision = copy ? "" : HE_REVISION, .revised = copy ? "" : po_date_now(),
                .commit = copy ? "" : head_commit(root)};
    if (!po.commit.empty() && po.commit != "unknown") {
        std::vector<std::string> paths;
        for (const auto& [path, content] : catalogue.files) paths.push_back(path);
        for (const auto& path : changed_since_commit(root, paths))
            po.tables += (po.tables.empty() ? "modified since " + po.commit + ": " : ", ") + path;
    }
    return write_output(po_export(catalogue, items(catalogue), po), args.options);
}

// Prints an import's findings, notes or changes, one a line.
void print(const std::vector<ImportFinding>& list, std::size_t at_most = SIZE_MAX) {
    for (std::size_t i = 0; i < list.size() && i < at_most; ++i) {
        const auto& f = list[i];
        std::printf("%s\n", visible(f.where + (f.where.empty() ? "" : ": ") + f.name + (f.name.empty() ? "" : ": ") +
                                    f.message).c_str());
    }
}

// Reads a translators' PO file and rewrites the rows it changes, all of
// them or none: every rule of the build is applied first.
int import_po(const Args& args) {
    if (args.operands.size() != 1) throw Usage{"import takes one PO file"};
    if (args.options.count("--prefer-file") && args.options.count("--prefer-tables"))
        throw Usage{"--prefer-file and --prefer-tables exclude each other"};
    const std::string& path = args.operands[0];
    if (::access(path.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "hecat: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
        return 2;
    }
    // The import rewrites the tables of the checkout it is run in, holding
    // its lock from reading them to the last rename.
    if (!is_checkout_top(".")) {
        std::fprintf(stderr, "hecat: run hecat import from the repository's top folder (where src/catalogue/tables.inc is)\n");
        return 2;
    }
    Catalogue catalogue;
    if (const int status = read_every_row(".", true, catalogue); status != 0) return status;
    const PoFile po = po_read(path);
    if (!po.warning.empty()) std::fprintf(stderr, "hecat: warning: %s\n", visible(po.warning).c_str());
    if (!po.units.empty() && std::none_of(po.units.begin(), po.units.end(), [](const PoUnit& u) { return !u.bases.empty(); }) &&
        po.commit.empty())
        std::printf("%s: no record of the tables it was exported from (written by hand or by an older hecat): "
                    "a text the tables had at an earlier commit is taken as unchanged since, other changes made to the tables "
                    "since cannot be told from the file's\n", path.c_str());
    const ImportOptions options{args.options.count("--prefer-file") > 0, args.options.count("--prefer-tables") > 0,
                                args.options.count("--change-quoted") > 0, args.options.count("--partial") > 0};
    const auto plan = plan_import(catalogue, po, ".", options);
    if (!plan.findings.empty()) {
        // The first findings say what is wrong; a binary or foreign file would give thousands.
        constexpr std::size_t kShown = 20;
        print(plan.findings, kShown);
        const std::size_t all = plan.findings.size() + plan.unlisted;
        std::printf("%zu units read, %zu findings%s: no file changed\n", plan.units, all,
                    all > kShown ? " (the first 20 shown)" : "");
        return 1;
    }
    print(plan.skipped);
    print(plan.notes);
    const bool dry_run = args.options.count("--dry-run") > 0;
    std::size_t tables = plan.files.size();
    for (const auto& [file, content] : plan.files) tables -= file == path ? 1 : 0;
    if (dry_run) {
        print(plan.changes);
        std::printf("%zu units read, %zu texts would change in %zu files, %zu skipped; nothing written (--dry-run)\n",
                    plan.units, plan.changed, tables, plan.skipped.size());
        return 0;
    }
    // An edit saved since the tables or the file were read stops the import: it is never overwritten.
    const auto unchanged = [&po, &catalogue] {
        std::string why = changed_since_read(catalogue, ".");
        if (why.empty()) why = changed_since_read(po);
        return why.empty() ? why : why + " (saved while the import ran)";
    };
    if (const std::string why = write_files(".", plan.files, unchanged); !why.empty()) {
        std::fprintf(stderr, "hecat: %s\n", why.c_str());
        return 2;
    }
    if (!plan.po_not_refreshed.empty()) std::printf("%s\n", plan.po_not_refreshed.c_str());
    std::printf("%zu units read, %zu texts changed in %zu files, %zu skipped%s\n", plan.units, plan.changed, tables,
                plan.skipped.size(), tables != plan.files.size() ? "; the PO file brought up to the tables" : "");
    return 0;
}

// Brings an old PO file up to the tables, three ways, in place or to --output.
int update_po(const Args& args) {
    if (args.operands.size() != 1) throw Usage{"update takes one PO file"};
    const std::string& path = args.operands[0];
    // In place only over a file: a FIFO or a process substitution is read once.
    struct stat st {};
    if (!args.options.count("--output") && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        throw Usage{path + " is not a regular file: name the file to write with --output"};
    const PoFile po = po_read(path);
    if (!po.errors.empty()) {
        for (std::size_t i = 0; i < po.errors.size() && i < 20; ++i) std::fprintf(stderr, "hecat: %s\n", visible(po.errors[i]).c_str());
        return 2;
    }
    if (!po.warning.empty()) std::fprintf(stderr, "hecat: warning: %s\n", visible(po.warning).c_str());
    const std::string root = tables_folder();
    Catalogue catalogue;
    if (const int status = read_every_row(root, false, catalogue); status != 0) return status;
    std::map<std::string, std::string> options = args.options;
    options.emplace("--output", path);
    const Updated updated = updated_po(catalogue, po, root, head_commit(root));
    if (const int status = write_output(updated.content, options); status != 0) return status;
    std::printf("%s: %s\n", options.at("--output").c_str(), updated.summary.c_str());
    return 0;
}

int preview(const Args& args) {
    if (!args.operands.empty()) throw Usage{"preview takes no operand"};
    Catalogue catalogue;
    if (const int status = read_every_row(tables_folder(), false, catalogue); status != 0) return status;
    if (args.options.count("--terminal")) {
        if (args.options.count("--output")) throw Usage{"--terminal writes to the terminal, not to --output"};
        return write_output(terminal_preview(items(catalogue)), args.options);
    }
    // Links to the pictures ./dev shots made, relative to the page.
    std::map<std::string, std::string> pictures;
    if (const auto shots = args.options.find("--shots"); shots != args.options.end()) {
        const auto out = args.options.find("--output");
        // The links are relative to the page: a page on standard output has no place to be relative to.
        if (out == args.options.end()) throw Usage{"--shots goes with --output FILE, the page its links are relative to"};
        const auto found = picture_links(shots->second, out == args.options.end() ? "" : out->second);
        if (!found) {
            std::fprintf(stderr, "hecat: no pictures in %s (make them with ./dev shots)\n", shots->second.c_str());
            return 2;
        }
        pictures = *found;
    }
    return write_output(html_preview(catalogue, pictures), args.options);
}

int run(int argc, char** argv) {
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "list") return list(parse(argc, argv, {{"--family", true}, {"--name", true}, {"--output", true}}));
        if (command == "show") return show(parse(argc, argv, {{"--max", true}}));
        if (command == "check") return check(parse(argc, argv, {}));
        if (command == "export")
            return export_rows(parse(argc, argv, {{"--format", true}, {"--output", true}, {"--no-commit", false}}));
        if (command == "import")
            return import_po(parse(argc, argv, {{"--prefer-file", false}, {"--prefer-tables", false}, {"--change-quoted", false},
                                                {"--partial", false}, {"--dry-run", false}}));
        if (command == "update") return update_po(parse(argc, argv, {{"--output", true}}));
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
    // Out of file size (ulimit -f), a write fails with EFBIG and is reported
    // as any other failed write, rather than ending hecat without a word.
    std::signal(SIGXFSZ, SIG_IGN);
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
