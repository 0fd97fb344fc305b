// Eight threads call every export thousands of times into their own
// buffers, with limits drawn at random, and must get exactly what one
// thread alone gets. Under ThreadSanitizer this also proves the exports
// share nothing writable.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "native_exports.h"

namespace {

TEST(Concurrency, EightThreadsGetWhatOneThreadGets) {
    constexpr std::size_t kExports = std::size(he::kNativeExports);
    // One thread alone, first: each export's full text.
    std::vector<std::string> alone(kExports);
    for (std::size_t i = 0; i < kExports; ++i) {
        char buffer[256];
        alone[i] = he::kNativeExports[i].fn(buffer, -1);
    }
    constexpr int kThreads = 8, kRounds = 1000;
    std::vector<std::size_t> mismatches(kThreads, 0), calls(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(static_cast<std::uint32_t>(t + 1));
            std::uniform_int_distribution<std::int32_t> any_limit(INT32_MIN, INT32_MAX), small_limit(-2, 140);
            unsigned char area[16 + 256 + 16];
            for (int round = 0; round < kRounds; ++round) {
                for (std::size_t i = 0; i < kExports; ++i) {
                    const std::int32_t max_len = (random() & 1) ? any_limit(random) : small_limit(random);
                    std::memset(area, 0xA5, sizeof area);
                    char* buffer = reinterpret_cast<char*>(area + 16);
                    const char* result = he::kNativeExports[i].fn(buffer, max_len);
                    const std::size_t n = std::min<std::size_t>(alone[i].size(), static_cast<std::uint32_t>(max_len));
                    bool ok = result == buffer && std::memcmp(buffer, alone[i].data(), n) == 0 && buffer[n] == 0;
                    for (std::size_t k = 0; k < sizeof area; ++k)
                        if ((k < 16 || k > 16 + n) && area[k] != 0xA5) ok = false;
                    mismatches[static_cast<std::size_t>(t)] += ok ? 0 : 1;
                    ++calls[static_cast<std::size_t>(t)];
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0u) << "thread " << t;
        EXPECT_EQ(calls[static_cast<std::size_t>(t)], kExports * kRounds);
    }
}

}  // namespace
