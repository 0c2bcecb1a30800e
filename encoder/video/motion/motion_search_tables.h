// The candidate orders shared by the motion searches.
#pragma once

#include <array>
#include <cstdint>

namespace quillset {

struct TSearchOffset {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const TSearchOffset&) const = default;
};

// Rings around (0, 0) out to distance 31: 63 x 63 offsets.
inline constexpr int32_t kSpiralRadius = 31;
inline constexpr int32_t kSpiralOrderCount = (2 * kSpiralRadius + 1) * (2 * kSpiralRadius + 1);

// (0, 0) first, then ring 1, ring 2, ... ring 31. Ring r lists its top row (y = -r) from
// x = -r to r, then for each y from -r + 1 to r - 1 the points (-r, y) and (r, y), then its bottom
// row (y = r) from x = -r to r. Searches scan the first N entries, so nearer candidates come
// first and a scan of (2k + 1)^2 entries covers the square of radius k exactly.
const std::array<TSearchOffset, kSpiralOrderCount>& SpiralOrder();

// The eight half-sample neighbours of a full-sample position, in half samples and in the order
// the refinement tries them: right, then clockwise in screen coordinates (y grows downward).
inline constexpr std::array<TSearchOffset, 8> HalfPelNeighbours = {{
    {1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1},
}};

} // namespace quillset
