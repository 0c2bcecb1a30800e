#include "encoder/kernels/lookup_tables.h"

#include <cstddef>

namespace quillset {

namespace {

template <typename T, std::size_t N, typename F>
constexpr std::array<T, N> MakeTable(F entry) {
    std::array<T, N> table{};
    for (std::size_t i = 0; i < N; ++i)
        table[i] = static_cast<T>(entry(static_cast<int>(i)));
    return table;
}

constexpr std::size_t kLookupSize = 2 * kLookupCenter + 1;
constexpr std::size_t kClampSize = 2 * kClampCenter + 1;

} // namespace

constinit const std::array<int32_t, kLookupSize> AbsTable = MakeTable<int32_t, kLookupSize>([](int i) {
    const int d = i - kLookupCenter;
    return d < 0 ? -d : d;
});

constinit const std::array<int32_t, kLookupSize> SquareTable = MakeTable<int32_t, kLookupSize>([](int i) {
    const int d = i - kLookupCenter;
    return d * d;
});

constinit const std::array<uint8_t, kClampSize> ClampTable =
    MakeTable<uint8_t, kClampSize>([](int i) { return ClampToByte(i - kClampCenter); });

} // namespace quillset
