// Drives DeliverText and every export with arbitrary limits, buffers placed
// between guard bytes, and checks the copy rule on every call: the result is
// Buffer, the first min(length, MaxLen) bytes are the text's, a zero byte
// follows, and nothing else is written.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "native_exports.h"
#include "table.h"
#include "deliver.h"

namespace {

constexpr unsigned char kGuard = 0xA5;
constexpr std::size_t kGuardBytes = 32;

void require(bool ok) {
    if (!ok) std::abort();
}

// Calls `deliver` on a buffer that holds exactly what the call may write,
// with guard bytes on both sides, and checks the outcome.
template <typename Deliver>
void check_call(std::string_view text, std::int32_t max_len, Deliver deliver) {
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::uint32_t>(max_len));
    std::vector<unsigned char> area(kGuardBytes + n + 1 + kGuardBytes, kGuard);
    char* buffer = reinterpret_cast<char*>(area.data() + kGuardBytes);
    require(deliver(buffer, max_len) == buffer);
    require(n == 0 || std::memcmp(buffer, text.data(), n) == 0);
    require(buffer[n] == '\0');
    for (std::size_t i = 0; i < kGuardBytes; ++i) require(area[i] == kGuard && area[area.size() - 1 - i] == kGuard);
    require(deliver(nullptr, max_len) == nullptr);
}

std::int32_t read_i32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return static_cast<std::int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) return 0;
    const std::int32_t max_len = read_i32(data);
    const std::size_t which = (std::size_t{data[4]} | std::size_t{data[5]} << 8) % std::size(he::kNativeExports);
    data += 6;
    size -= 6;

    // One export, its text from the table.
    const auto& [name, fn] = he::kNativeExports[which];
    std::string_view text;
    for (const auto& e : he::identity_entries())
        if (e.name == name) text = e.text;
    for (const auto& e : he::table_entries())
        if (e.name == name) text = e.text;
    check_call(text, max_len, [fn = fn](char* b, std::int32_t m) { return fn(b, m); });

    // DeliverText itself, with the rest of the input as a text of exactly its size.
    const std::vector<char> own(data, data + size);
    check_call({own.data(), own.size()}, max_len, [&](char* b, std::int32_t m) {
        return he::DeliverText(own.data(), static_cast<std::uint32_t>(own.size()), b, m);
    });
    return 0;
}
