// The catalogue as rows for a spreadsheet (spreadsheet.h).
#include "spreadsheet.h"

namespace he::tool {
namespace {

std::string escape_json(std::string_view s) { return escaped(s, {{'"', "\\\""}, {'\\', "\\\\"}, {'\r', "\\r"}}); }

std::string csv_field(std::string_view s) { return quoted(s, {{'"', "\"\""}}); }

}  // namespace

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

}  // namespace he::tool
