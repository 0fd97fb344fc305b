#include "render.h"

#include <fribidi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "catalogue/arguments.h"
#include "po.h"
#include "rules.h"

namespace he::tool {
namespace {

std::u32string decode(std::string_view s) {
    std::u32string out(s.size() + 1, U'\0');
    const auto n = fribidi_charset_to_unicode(FRIBIDI_CHAR_SET_UTF8, s.data(), static_cast<FriBidiStrIndex>(s.size()),
                                              reinterpret_cast<FriBidiChar*>(out.data()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string encode(const std::u32string& s) {
    std::string out(s.size() * 4 + 1, '\0');
    const auto n = fribidi_unicode_to_charset(FRIBIDI_CHAR_SET_UTF8, reinterpret_cast<const FriBidiChar*>(s.data()),
                                              static_cast<FriBidiStrIndex>(s.size()), out.data());
    out.resize(static_cast<std::size_t>(n));
    return out;
}

bool is_hebrew(char32_t c) { return c >= 0x5D0 && c <= 0x5EA; }
bool is_bracket(char32_t c) { return c == U'(' || c == U')' || c == U'<' || c == U'>' || c == U'[' || c == U']'; }
char32_t mirror(char32_t c) {
    switch (c) {
        case U'(': return U')';
        case U')': return U'(';
        case U'<': return U'>';
        case U'>': return U'<';
        case U'[': return U']';
        case U']': return U'[';
        default: return c;
    }
}

std::string escape_html(std::string_view s) {
    std::string out;
    for (const char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string escape_json(std::string_view s) {
    std::string out;
    for (const char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    return out;
}

std::string csv_field(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

std::string visual_order(std::string_view line, bool right_to_left) {
    const std::u32string logical = decode(line);
    if (logical.empty()) return {};
    std::u32string visual(logical.size() + 1, U'\0');
    FriBidiParType base = right_to_left ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR;
    fribidi_log2vis(reinterpret_cast<const FriBidiChar*>(logical.data()), static_cast<FriBidiStrIndex>(logical.size()),
                    &base, reinterpret_cast<FriBidiChar*>(visual.data()), nullptr, nullptr, nullptr);
    visual.resize(logical.size());
    return encode(visual);
}

std::string visual_order(std::string_view line) { return visual_order(line, false); }

namespace {

// The reading of one line as runs: Hebrew text, and the runs that read left
// to right (Latin words, numbers, placeholders, with blanks between them).
std::vector<std::pair<std::u32string, bool>> reading_runs(std::string_view line) {
    const std::u32string logical = decode(line);
    if (std::none_of(logical.begin(), logical.end(), is_hebrew)) return {{logical, true}};
    std::u32string r = decode(visual_order(line));
    std::reverse(r.begin(), r.end());
    for (auto& c : r) c = mirror(c);
    const auto ltr = [](char32_t c) { return !is_hebrew(c) && c != U' ' && !is_bracket(c); };
    std::vector<std::pair<std::u32string, bool>> runs;
    for (std::size_t i = 0; i < r.size();) {
        std::size_t j = i;
        if (!ltr(r[i])) {
            while (j < r.size() && !ltr(r[j])) ++j;
            runs.push_back({r.substr(i, j - i), false});
        } else {
            // A run of Latin words goes on across the blank between two of them.
            const auto word = [](char32_t c) { return c < 0x80 && std::isalnum(static_cast<int>(c)); };
            for (std::size_t k = j; k < r.size(); ++k) {
                const bool joins = r[k] == U' ' && k > 0 && k + 1 < r.size() && word(r[k - 1]) && word(r[k + 1]);
                if (!ltr(r[k]) && !joins) break;
                j = k + 1;
            }
            std::u32string run = r.substr(i, j - i);
            std::reverse(run.begin(), run.end());
            runs.push_back({run, true});
        }
        i = j;
    }
    return runs;
}

}  // namespace

std::string reading_order(std::string_view line) {
    std::u32string out;
    for (const auto& [run, ltr] : reading_runs(line)) out += run;
    const std::string reading = encode(out);
    // A mark between a Hebrew run and a Latin one can settle on the other
    // side of the Latin word in a right-to-left box ("מ-Imbrosia" read as
    // "מImbrosia-"). There the reading is the shown line laid out right to
    // left once more, which a right-to-left box turns back into the same
    // glyphs.
    // (A template's placeholders, tagged as tokens, keep the first reading.)
    const std::string shown = visual_order(line, false);
    if (line.find('%') != std::string_view::npos || visual_order(reading, true) == shown) return reading;
    const std::string other = visual_order(shown, true);
    return visual_order(other, true) == shown ? other : reading;
}

// The reading of a text for a right-to-left box: left-to-right runs isolated
// so that they keep their order there too, lines broken at each CR.
std::string reading_html(std::string_view utf8) {
    std::string out;
    for (std::size_t start = 0;;) {
        const auto cr = utf8.find('\r', start);
        const auto line = utf8.substr(start, cr - start);
        const auto runs = reading_runs(line);
        std::u32string joined;
        for (const auto& [run, ltr] : runs) joined += run;
        if (const std::string reading = reading_order(line); encode(joined) != reading) {
            out += escape_html(reading);  // the mended reading, laid out as it stands
        } else {
            for (const auto& [run, ltr] : runs) {
                const std::string text = escape_html(encode(run));
                out += ltr ? "<bdi dir=\"ltr\">" + text + "</bdi>" : text;
            }
        }
        if (cr == std::string_view::npos) return out;
        out += "<br>";
        start = cr + 1;
    }
}

std::string per_line(std::string_view utf8, std::string (*fn)(std::string_view)) {
    std::string out;
    for (std::size_t start = 0;;) {
        const auto cr = utf8.find('\r', start);
        out += fn(utf8.substr(start, cr - start));
        if (cr == std::string_view::npos) return out;
        out += '\r';
        start = cr + 1;
    }
}

std::string json_export(const std::vector<Item>& items) {
    std::string out = "[\n";
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Entry& e = *items[i].entry;
        out += "  {\"ordinal\": " + std::to_string(items[i].ordinal) + ", \"name\": \"" + std::string(e.name) +
               "\", \"family\": \"" + std::string(e.family) + "\", \"bytes\": " + std::to_string(e.text.size()) +
               ", \"text\": \"" + escape_json(to_utf8(e.text)) + "\", \"english\": \"" + escape_json(e.gloss) + "\"}";
        out += i + 1 < items.size() ? ",\n" : "\n";
    }
    return out + "]\n";
}

std::string csv_export(const std::vector<Item>& items) {
    std::string out = "ordinal,name,family,bytes,text,english\r\n";
    for (const auto& item : items) {
        const Entry& e = *item.entry;
        out += std::to_string(item.ordinal) + "," + std::string(e.name) + "," + std::string(e.family) + "," +
               std::to_string(e.text.size()) + "," + csv_field(to_utf8(e.text)) + "," + csv_field(e.gloss) + "\r\n";
    }
    return out;
}

namespace {

std::string boxes(std::string_view utf8) {
    std::string stored = escape_html(utf8);
    for (std::size_t p; (p = stored.find('\r')) != std::string::npos;) stored.replace(p, 1, "<br>");
    const std::string reading = reading_html(utf8);
    return "<td><div class=\"box\" dir=\"ltr\">" + stored + "</div></td><td><div class=\"box\" dir=\"rtl\">" + reading +
           "</div></td>";
}

// Pictures of the texts in real controls (./dev shots): entry -> link.
const std::map<std::string, std::string>* g_pictures = nullptr;

std::string picture_link(std::string_view name) {
    if (g_pictures == nullptr) return {};
    const auto it = g_pictures->find(std::string(name));
    return it == g_pictures->end() ? std::string()
                                   : " &middot; <a class=\"shot\" href=\"" + escape_html(it->second) + "\">in a Windows control</a>";
}

std::size_t byte_limit(const Entry& e) {
    return e.family == "menus" ? rules::kLongestMenuCaption : e.family == "labels" ? rules::kLongestLabel : rules::kLongestText;
}

std::string row(const Item& item, bool is_template, bool sub = false) {
    const Entry& e = *item.entry;
    const std::string utf8 = to_utf8(e.text);
    // A row whose reading is not its stored order: a mark, a number or a Latin word moved.
    const bool moved = reading_of(utf8, rules::is_template(e.name)) != utf8;
    const std::string classes = std::string("entry ") + (e.open ? "open" : "quoted") + (moved ? " moved" : "") + (sub ? " sub" : "");
    std::string out = "<tr class=\"" + classes + "\"><td class=\"name\">" + std::string(e.name) +
                      "<br><span class=\"meta\">#" + std::to_string(item.ordinal) + " &middot; " +
                      std::to_string(e.text.size()) + " / " + std::to_string(byte_limit(e)) + " bytes" +
                      (e.open ? " &middot; new wording" : " &middot; quoted") + (moved ? " &middot; reading moves" : "") +
                      picture_link(e.name) + "</span></td>" + boxes(utf8) + "<td>" + escape_html(e.gloss) + "</td></tr>\n";
    if (is_template)
        out += "<tr class=\"filled\"><td class=\"meta\">filled as the editor fills it</td>" +
               boxes(to_utf8(fill_sample(e.text))) + "<td></td></tr>\n";
    return out;
}

const char* kHead = R"(<!DOCTYPE html>
<html lang="he">
<head>
<meta charset="utf-8">
<title>DLLTranslation_HE: the texts for review</title>
<style>
body { font-family: "Segoe UI", Tahoma, Arial, "Noto Sans Hebrew", "DejaVu Sans", sans-serif; margin: 2em; color: #222; }
h1 { font-size: 1.4em; } h2 { margin-top: 2em; border-bottom: 1px solid #999; } h3 { margin: 1.2em 0 0.3em; }
table { border-collapse: collapse; width: 100%; table-layout: fixed; }
th:nth-child(1) { width: 22%; } th:nth-child(2), th:nth-child(3) { width: 30%; }
.box[dir="rtl"] { text-align: right; }
tr.moved .box[dir="rtl"] { background: #ffe8e0; border-color: #c60; }
#controls { position: sticky; top: 0; background: #fff; padding: 6px 0; border-bottom: 1px solid #ccc; }
th, td { border: 1px solid #ccc; padding: 4px 8px; vertical-align: top; text-align: left; }
th { background: #f0f0f0; }
td.name { font-family: Consolas, "DejaVu Sans Mono", monospace; font-size: 0.9em; word-break: break-all; }
.meta { color: #777; font-size: 0.85em; }
.box { border: 1px solid #888; background: #fff; padding: 2px 6px; min-height: 1.3em; unicode-bidi: isolate; white-space: pre-wrap; }
tr.open td { background: #fffbe6; }
tr.filled td { background: #f4f8ff; }
.sub td.name { padding-left: 2em; }
</style>
</head>
<body dir="ltr">
<h1>DLLTranslation_HE: the texts for review</h1>
<p>Each text appears twice. The left box shows the stored text as the editor's left-to-right controls show it.
The right box shows how a Hebrew reader reads it, in a right-to-left box; the two should look alike.
Rows in yellow carry wording written for this module: these are the ones to approve. A reading box in orange
marks a text whose reading differs from its stored order (a closing mark, a number or a Latin word moved).
Each row gives its length in bytes against its limit and the English it means.
Templates are shown again filled with sample values (42, photo.jpg, 3.14), since the filled line is what the reader sees.
Line breaks are shown as line breaks.</p>
)";

const char* kTableHead = "<table><tr><th>Entry</th><th>As shown (left-to-right control)</th><th>As read</th><th>English</th></tr>\n";

// Shows the rows of one kind, or those holding the search text; the filled
// line of a template goes with its entry.
const char* kControls = R"(<div id="controls">
<label>Show <select id="kind"><option value="all">all texts</option><option value="open">written for this module</option>
<option value="quoted">quoted from the editor</option></select></label>
<label>Search <input id="search" type="search" placeholder="name, Hebrew or English"></label>
<span id="count"></span>
</div>
<script>
function filterRows() {
  const kind = document.getElementById('kind').value;
  const text = document.getElementById('search').value.trim().toLowerCase();
  let shown = 0;
  for (const row of document.querySelectorAll('tr.entry')) {
    const show = (kind === 'all' || row.classList.contains(kind)) &&
                 (text === '' || row.textContent.toLowerCase().includes(text));
    row.hidden = !show;
    const next = row.nextElementSibling;
    if (next && next.classList.contains('filled')) next.hidden = !show;
    if (show) ++shown;
  }
  document.getElementById('count').textContent = shown + ' texts shown';
}
document.getElementById('kind').addEventListener('change', filterRows);
document.getElementById('search').addEventListener('input', filterRows);
// A link can open the page filtered: page.html#show=open or #search=word.
const asked = new URLSearchParams(location.hash.slice(1));
if (asked.has('show')) document.getElementById('kind').value = asked.get('show');
if (asked.has('search')) document.getElementById('search').value = asked.get('search');
filterRows();
</script>
)";

}  // namespace

std::string html_preview(const std::vector<Item>& items, const std::map<std::string, std::string>& pictures) {
    g_pictures = pictures.empty() ? nullptr : &pictures;
    std::map<std::string_view, const Item*> by_name;
    std::map<std::string_view, std::vector<const Item*>> by_family;
    std::vector<std::string_view> families;
    for (const auto& item : items) {
        by_name[item.entry->name] = &item;
        auto& list = by_family[item.entry->family];
        if (list.empty()) families.push_back(item.entry->family);
        list.push_back(&item);
    }
    std::map<std::string_view, bool> is_template;
    for (const auto& t : kTemplateArguments) is_template[t.name] = true;
    const auto templated = [&](const Item& i) { return is_template[i.entry->name] && i.entry->text.find('%') != std::string_view::npos; };

    std::string out = kHead;
    out += "<p>";
    for (auto family : families) out += "<a href=\"#" + std::string(family) + "\">" + std::string(family) + "</a> ";
    out += "</p>\n";
    for (auto family : families) {
        out += "<h2 id=\"" + std::string(family) + "\">" + std::string(family) + " (" + std::to_string(by_family[family].size()) + ")</h2>\n";
        if (family == "menus") {
            for (const auto& menu : menu_tree()) {
                out += "<h3>" + escape_html(to_utf8(menu.entry->text)) + " <span class=\"meta\">" + std::string(menu.entry->name) + "</span></h3>\n";
                out += kTableHead + row(*by_name[menu.entry->name], false);
                for (const auto& item : menu.items) {
                    out += row(*by_name[item.entry->name], false);
                    for (const auto& sub : item.items) out += row(*by_name[sub.entry->name], false, true);
                }
                out += "</table>\n";
            }
            continue;
        }
        out += kTableHead;
        for (const auto* item : by_family[family]) out += row(*item, templated(*item));
        out += "</table>\n";
    }
    // The controls stand first on the page; their script runs once the rows are there.
    const std::string controls = kControls;
    const auto script = controls.find("<script>");
    out.insert(std::string(kHead).size(), controls.substr(0, script));
    return out + controls.substr(script) + "</body>\n</html>\n";
}

}  // namespace he::tool
