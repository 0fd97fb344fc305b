// The texts a translator's PO file was exported from (bases.h).
#include "bases.h"

#include <algorithm>

#include "checkout.h"
#include "model.h"
#include "reading.h"
#include "rules.h"
#include "table_text.h"

namespace he::tool {

Bases::Bases(const Catalogue& c, const PoFile& po, const std::string& root) : root_(root), fallback_(po.commit), commits_(root) {
    std::set<std::string> tables;
    for (const auto& row : c.rows) tables.emplace(row.file);
    tables_.assign(tables.begin(), tables.end());
    // The commit most units record with their own text, which travels
    // with the units whatever tool refreshed the file.
    std::map<std::string, std::size_t> counts;
    for (const auto& u : po.units) recorded_ = recorded_ || !u.bases.empty();
    for (const auto& u : po.units)
        if (!u.extracted_record)
            for (const auto& r : u.bases)
                if (!r.commit.empty()) ++counts[r.commit];
    std::size_t most = 0;
    for (const auto& [commit, n] : counts)
        if (n > most) most = n, fallback_ = commit;
}

std::vector<std::string> Bases::of(const PoUnit& u, const Entry& e) {
    std::vector<std::string> digests;
    for (const auto& r : u.bases) digests.push_back(r.digest);
    if (u.bases.empty() || (u.extracted_record && u.bases.size() == 1))
        if (const auto then = at_commit(e, fallback_); then && (digests.empty() || base_digest(*then) != digests.front()))
            digests.push_back(base_digest(*then));
    if (u.bases.empty() && in_history(u, e)) digests.push_back(base_digest(u.msgstr));
    return digests;
}

bool Bases::in_history(const PoUnit& u, const Entry& e) {
    if (u.msgstr.empty()) return false;
    if (!history_) {
        history_.emplace();
        for (const auto& v : versions()) {
            const auto file = commits_.file(v.commit, v.path);
            for (auto& [name, text] : file ? row_texts(*file) : std::vector<std::pair<std::string, std::string>>())
                (*history_)[name].insert(std::move(text));
        }
    }
    const auto texts = history_->find(std::string(e.name));
    if (texts == history_->end()) return false;
    const std::string typed = canonical(u.msgstr);
    return std::any_of(texts->second.begin(), texts->second.end(),
                       [&](const std::string& t) { return canonical(reading_of(t, is_template(e.name))) == typed; });
}

std::optional<std::string> Bases::reading(const PoUnit& u, const Entry& e) {
    auto digests = of(u, e);
    // Of several records, the text at export is one that the tables no
    // longer read (a merge tool adds its template's record of today's text).
    const std::string today = base_digest(reading_of(to_utf8(e.text), is_template(e.name)));
    if (std::any_of(digests.begin(), digests.end(), [&](const std::string& d) { return d != today; }))
        digests.erase(std::remove(digests.begin(), digests.end(), today), digests.end());
    const auto matches = [&](const std::optional<std::string>& then) {
        return then && std::find(digests.begin(), digests.end(), base_digest(*then)) != digests.end();
    };
    std::vector<std::string> commits;
    for (const auto& r : u.bases) commits.push_back(r.commit.empty() ? fallback_ : r.commit);
    commits.push_back(fallback_);
    for (const auto& c : commits)
        if (auto then = at_commit(e, c); matches(then)) return then;
    if (digests.empty()) return std::nullopt;
    for (const auto& v : versions())
        if (v.path == e.file)
            if (auto then = at_commit(e, v.commit); matches(then)) return then;
    return std::nullopt;
}

const std::vector<Version>& Bases::versions() {
    if (!versions_) versions_ = versions_of(root_, tables_, kHistory);
    return *versions_;
}

std::optional<std::string> Bases::at_commit(const Entry& e, const std::string& commit) {
    if (commit.empty() || commit == "unknown") return std::nullopt;
    const std::string file(e.file), key = commit + ":" + file;
    auto it = files_.find(key);
    if (it == files_.end()) it = files_.emplace(key, commits_.file(commit, file)).first;
    const auto text = it->second ? row_text(*it->second, e.name) : std::nullopt;
    if (!text) return std::nullopt;
    return reading_of(*text, is_template(e.name));
}

Changed changed_since_export(const std::string& text, const std::string& now, const std::vector<std::string>& bases) {
    if (bases.empty()) return Changed::unknown;
    const auto in_bases = [&](const std::string& s) { return std::find(bases.begin(), bases.end(), base_digest(s)) != bases.end(); };
    // Each record is a text the file was exported with (a merge tool may
    // leave more than one, its template's beside the file's own): a file's
    // text among them is none the translator typed; the tables have changed
    // since the export unless every record reads as they do today.
    const bool now_is_base = std::all_of(bases.begin(), bases.end(), [&](const std::string& b) { return b == base_digest(now); });
    if (in_bases(text)) return base_digest(text) == base_digest(now) ? Changed::neither : Changed::tables;
    return now_is_base ? Changed::file : Changed::both;
}

}  // namespace he::tool
