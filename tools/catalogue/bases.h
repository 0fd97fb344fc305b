// The texts a translator's PO file was exported from, found by the records
// its units carry (a digest of each text, the commit it was exported at)
// in git's history of the tables, and what changed since on either side.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "checkout.h"
#include "model.h"
#include "po.h"
#include "table.h"

namespace he::tool {

// The texts the file was exported from, by what it records: each unit's
// digests, and for a unit without them (an older export, or a record
// removed) the text at the commit the file's other units record, else the
// one its header records (a template refresh may have put today's commit
// there), where git has it; and its own text where the tables had it at a
// commit of their history (a file of an older release, which records
// none). An older export's record came with the unit's comments from
// whatever template refreshed the file last, so that commit is asked too.
class Bases {
  public:
    // `c` is the catalogue as read from the tables under `root`.
    Bases(const Catalogue& c, const PoFile& po, const std::string& root);

    // The digests of the text `e` had at export; empty where nothing says.
    std::vector<std::string> of(const PoUnit& u, const Entry& e);

    // The reading `e` had at export: at a commit the unit or the file
    // records, else at the latest commit that changed its table and read so
    // (a file that records no commit, as the repository's own copy), where
    // git still has it and it matches the unit's digest.
    std::optional<std::string> reading(const PoUnit& u, const Entry& e);

    // Whether any unit records its text at export: a file with none was
    // written by hand or by an older hecat.
    bool recorded() const { return recorded_; }

  private:
    // How far back a text at export is looked for in a table's history.
    static constexpr std::size_t kHistory = 200;

    std::optional<std::string> at_commit(const Entry& e, const std::string& commit);

    // Whether the unit, which records nothing, reads as its entry did at a
    // commit in the tables' history: a text as some release exported it,
    // not one the translator typed.
    bool in_history(const PoUnit& u, const Entry& e);

    // The versions of the tables the latest kHistory commits that changed
    // one made, newest first: one git process, asked when first needed.
    const std::vector<Version>& versions();

    std::string root_;
    std::vector<std::string> tables_;  // the tables' files, from the top of the checkout
    std::string fallback_;
    bool recorded_ = false;
    // Every file asked of git at a commit, by "COMMIT:PATH": each asked once,
    // all through one git process.
    CommitFiles commits_;
    std::map<std::string, std::optional<std::string>> files_;
    std::optional<std::vector<Version>> versions_;
    // The texts each entry had in the latest kHistory commits that changed a
    // table, as stored, by entry; read when a unit without a record first asks.
    std::optional<std::map<std::string, std::set<std::string>>> history_;
};

// What changed since the file was exported.
enum class Changed { neither, file, tables, both, unknown };

// `text` the file's, `now` the tables', `bases` the digests at export: the
// file changed where its text is none of them, the tables where no record
// reads as they do now.
Changed changed_since_export(const std::string& text, const std::string& now, const std::vector<std::string>& bases);

}  // namespace he::tool
