#include "encoder/video/motion/motion_search_tables.h"

namespace quillset {

namespace {

constexpr std::array<TSearchOffset, kSpiralOrderCount> BuildSpiralOrder() {
    std::array<TSearchOffset, kSpiralOrderCount> order{};
    int32_t n = 0;
    order[n++] = {0, 0};
    for (int32_t r = 1; r <= kSpiralRadius; ++r) {
        for (int32_t x = -r; x <= r; ++x)
            order[n++] = {x, -r};
        for (int32_t y = -r + 1; y <= r - 1; ++y) {
            order[n++] = {-r, y};
            order[n++] = {r, y};
        }
        for (int32_t x = -r; x <= r; ++x)
            order[n++] = {x, r};
    }
    return order;
}

// Built by the compiler, so the table is ready before any start-up code runs.
constexpr std::array<TSearchOffset, kSpiralOrderCount> kSpiralOrder = BuildSpiralOrder();

} // namespace

const std::array<TSearchOffset, kSpiralOrderCount>& SpiralOrder() { return kSpiralOrder; }

} // namespace quillset
