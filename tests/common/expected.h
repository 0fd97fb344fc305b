// The expected texts of every export, read from tests/data/texts.txt, which
// is written from the wording tables independently of the sources.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace he::test {

struct Expected {
    std::string name;
    bool open = false;  // wording written for this module: the table holds it
    std::string bytes;  // Windows-1255 bytes, when not open
    int line = 0;       // where it stands in tests/data/texts.txt
};

struct ExpectedSet {
    std::vector<Expected> identity;   // in the order of the identity table
    std::vector<Expected> catalogue;  // in catalogue order
    std::vector<std::string> absent;  // names that must not be exported
    std::vector<std::string> errors;  // lines the parser could not read
};

ExpectedSet parse_expected(std::string_view file);

// UTF-8 to Windows-1255 for the characters the module carries; false on any
// other character. Written apart from the build's conversion on purpose.
bool to_cp1255(std::string_view utf8, std::string& out);

// Windows-1255 back to UTF-8, for messages and listings.
std::string to_utf8(std::string_view cp1255);

// Where two texts first differ, in words: the byte's place and what each
// side has there (a blank, a line break, a letter, the end). Empty when equal.
std::string difference(std::string_view table, std::string_view file);

struct Ordinal {
    std::string name;
    unsigned ordinal;
};

// The export table the module must have, by the numbering rule: GetTrCharset
// 1, the catalogue upward from its last entry, the other identity exports on
// top with GetCompatibility highest. Sorted by ordinal.
std::vector<Ordinal> expected_ordinals(const ExpectedSet& set);

}  // namespace he::test
