// The review page, and its plain form for a terminal (preview.h).
#include "preview.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "arguments.h"
#include "layout.h"
#include "reading.h"

namespace he::tool {
namespace {

std::string escape_html(std::string_view s) {
    return escaped(s, {{'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}});
}

// The reading of a text for a right-to-left box: left-to-right runs isolated
// so that they keep their order there too, lines broken at each CR.
std::string reading_html(std::string_view utf8) {
    std::string out;
    for (std::size_t start = 0;;) {
        const auto cr = utf8.find('\r', start);
        const auto line = utf8.substr(start, cr - start);
        const auto runs = reading_runs(line);
        std::string joined;
        for (const auto& run : runs) joined += run.utf8;
        if (const std::string reading = reading_order(line); joined != reading) {
            out += escape_html(reading);  // the mended reading, laid out as it stands
        } else {
            for (const auto& run : runs) {
                const std::string text = escape_html(run.utf8);
                out += run.left_to_right ? "<bdi dir=\"ltr\">" + text + "</bdi>" : text;
            }
        }
        if (cr == std::string_view::npos) return out;
        out += "<br>";
        start = cr + 1;
    }
}

std::string boxes(std::string_view utf8) {
    std::string stored = escape_html(utf8);
    for (std::size_t p; (p = stored.find('\r')) != std::string::npos;) stored.replace(p, 1, "<br>");
    const std::string reading = reading_html(utf8);
    return "<td><div class=\"box\" dir=\"ltr\">" + stored + "</div></td><td><div class=\"box\" dir=\"rtl\">" + reading +
           "</div></td>";
}

// Pictures of the texts in real controls (./dev shots): entry -> link.
using Pictures = std::map<std::string, std::string>;

std::string picture_link(const Pictures& pictures, std::string_view name) {
    const auto it = pictures.find(std::string(name));
    return it == pictures.end() ? std::string()
                                : " &middot; <a class=\"shot\" href=\"" + escape_html(it->second) + "\">in a Windows control</a>";
}

std::string row(const Item& item, bool templated, const Pictures& pictures, bool sub = false) {
    const Entry& e = *item.entry;
    const std::string utf8 = to_utf8(e.text);
    // A row whose reading is not its stored order: a mark, a number or a Latin word moved.
    const bool moved = reading_of(utf8, is_template(e.name)) != utf8;
    const std::string classes = std::string("entry ") + (e.quoted ? "quoted" : "open") + (moved ? " moved" : "") + (sub ? " sub" : "");
    std::string out = "<tr class=\"" + classes + "\"><td class=\"name\">" + std::string(e.name) +
                      "<br><span class=\"meta\">#" + std::to_string(item.ordinal) + " &middot; " +
                      std::to_string(e.text.size()) + " / " + std::to_string(family_of(e).longest) + " bytes" +
                      (e.quoted ? " &middot; quoted" : " &middot; written for this module") + (moved ? " &middot; reading moves" : "") +
                      picture_link(pictures, e.name) + "</span></td>" + boxes(utf8) + "<td>" + escape_html(e.gloss) + "</td></tr>\n";
    if (templated)
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
  // A family's heading counts the rows shown; a family with none shown goes.
  for (const family of document.querySelectorAll('section.family')) {
    const rows = family.querySelectorAll('tr.entry:not([hidden])').length;
    family.querySelector('h2').textContent = family.dataset.family + ' (' + rows + ')';
    family.hidden = rows === 0;
  }
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

// The menus as the editor's menu tree: a table per menu, submenus indented.
std::string menu_tables(std::span<const Entry> rows, const std::map<std::string_view, const Item*>& by_name,
                        const Pictures& pictures) {
    std::string out;
    for (const auto& menu : menu_tree(rows)) {
        out += "<h3>" + escape_html(to_utf8(menu.entry->text)) + " <span class=\"meta\">" + std::string(menu.entry->name) + "</span></h3>\n";
        out += kTableHead + row(*by_name.at(menu.entry->name), false, pictures);
        for (const auto& item : menu.items) {
            out += row(*by_name.at(item.entry->name), false, pictures);
            for (const auto& sub : item.items) out += row(*by_name.at(sub.entry->name), false, pictures, true);
        }
        out += "</table>\n";
    }
    return out;
}

}  // namespace

std::string html_preview(const Catalogue& c, const Pictures& pictures) {
    const auto items = he::tool::items(c);
    std::map<std::string_view, const Item*> by_name;
    std::map<std::string_view, std::vector<const Item*>> by_family;
    std::vector<std::string_view> families;
    for (const auto& item : items) {
        by_name[item.entry->name] = &item;
        auto& list = by_family[item.entry->family];
        if (list.empty()) families.push_back(item.entry->family);
        list.push_back(&item);
    }
    const auto templated = [](const Item& i) { return is_template(i.entry->name) && i.entry->text.find('%') != std::string_view::npos; };

    std::string out = kHead;
    out += "<p>";
    for (auto family : families) out += "<a href=\"#" + std::string(family) + "\">" + std::string(family) + "</a> ";
    out += "</p>\n";
    for (auto family : families) {
        const std::string name(family);
        out += "<section class=\"family\" data-family=\"" + name + "\"><h2 id=\"" + name + "\">" + name + " (" +
               std::to_string(by_family[family].size()) + ")</h2>\n";
        if (family_of(*by_family[family].front()->entry).control == Control::menu) {
            out += menu_tables(c.rows, by_name, pictures) + "</section>\n";
            continue;
        }
        out += kTableHead;
        for (const auto* item : by_family[family]) out += row(*item, templated(*item), pictures);
        out += "</table></section>\n";
    }
    // The controls stand first on the page; their script runs once the rows are there.
    const std::string controls = kControls;
    const auto script = controls.find("<script>");
    out.insert(std::string(kHead).size(), controls.substr(0, script));
    return out + controls.substr(script) + "</body>\n</html>\n";
}

std::string terminal_preview(const std::vector<Item>& items) {
    std::string out;
    for (const auto& item : items) {
        const auto& e = *item.entry;
        const std::string shown = is_template(e.name) ? fill_sample(e.text) : std::string(e.text);
        out += std::string(e.name) + "\n";
        const std::string visual = per_line(to_utf8(shown), visual_order);
        for (std::size_t start = 0;;) {
            const auto cr = visual.find('\r', start);
            out += "    |" + visual.substr(start, cr - start) + "|\n";
            if (cr == std::string::npos) break;
            start = cr + 1;
        }
    }
    return out;
}

std::optional<Pictures> picture_links(const std::string& folder, const std::string& page) {
    std::ifstream in(folder + "/pictures.tsv");
    if (!in) return std::nullopt;
    namespace fs = std::filesystem;
    const fs::path base = page.empty() ? fs::current_path() : fs::absolute(page).parent_path();
    const std::string relative = fs::relative(fs::absolute(folder), base).generic_string();
    Pictures pictures;
    for (std::string line; std::getline(in, line);) {
        const auto tab = line.find('\t'), tab2 = line.find('\t', tab + 1);
        if (tab == std::string::npos || tab2 == std::string::npos) continue;
        const std::string png = line.substr(0, tab);
        std::stringstream names(line.substr(tab2 + 1));
        for (std::string name; std::getline(names, name, ',');)
            if (!pictures.count(name)) pictures[name] = relative + "/" + png;
    }
    return pictures;
}

}  // namespace he::tool
