#include "templates.h"

#include <cstdio>

namespace he::test {

std::string expected_fill(std::string_view text) {
    std::string out;
    int ints = 0, texts = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("%%")) out += '%', i += 1;
        else if (rest.starts_with("%d")) out += std::to_string(101 + ints++), i += 1;
        else if (rest.starts_with("%s")) out.append(1, 's').append(std::to_string(++texts)), i += 1;
        else if (rest.starts_with("%f")) out += "3.141590", i += 1;
        else if (rest.starts_with("%.2f")) out += "3.14", i += 3;
        else out += text[i];
    }
    return out;
}

#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
#endif

bool fill_with_snprintf(const std::string& text, std::string_view specifiers, std::string& out) {
    // The arguments a template takes, without the "%%" that takes none.
    std::string args;
    for (std::size_t i = 0; i < specifiers.size();) {
        std::size_t end = specifiers.find(' ', i);
        if (end == std::string_view::npos) end = specifiers.size();
        const std::string_view specifier = specifiers.substr(i, end - i);
        if (specifier != "%%") {
            if (!args.empty()) args += ' ';
            args += specifier;
        }
        i = end + 1;
    }
    const char* f = text.c_str();
    const double x = 3.14159;
    char b[512];
    int n = -1;
    if (args == "%d") n = std::snprintf(b, sizeof b, f, 101);
    else if (args == "%s") n = std::snprintf(b, sizeof b, f, "s1");
    else if (args == "%f" || args == "%.2f") n = std::snprintf(b, sizeof b, f, x);
    else if (args == "%d %d") n = std::snprintf(b, sizeof b, f, 101, 102);
    else if (args == "%f %f") n = std::snprintf(b, sizeof b, f, x, x);
    else if (args == "%s %s") n = std::snprintf(b, sizeof b, f, "s1", "s2");
    else if (args == "%d %d %d %d %d %d") n = std::snprintf(b, sizeof b, f, 101, 102, 103, 104, 105, 106);
    else if (args == "%d %d %d %d %d %d %s") n = std::snprintf(b, sizeof b, f, 101, 102, 103, 104, 105, 106, "s1");
    else if (args == "%s %s %s %s %s %d") n = std::snprintf(b, sizeof b, f, "s1", "s2", "s3", "s4", "s5", 101);
    else if (args == "%s %s %s %d %s %s %s %s")
        n = std::snprintf(b, sizeof b, f, "s1", "s2", "s3", 101, "s4", "s5", "s6", "s7");
    if (n < 0 || n >= static_cast<int>(sizeof b)) return false;
    out.assign(b, static_cast<std::size_t>(n));
    return true;
}

}  // namespace he::test
