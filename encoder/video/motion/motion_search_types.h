// The records exchanged between the video encoder, the motion searches and the outside
// motion-search packages: the search parameters and the result of one macroblock search.
//
// TMotionSearchResult crosses the boundary to the packages (Mosrik3.so, Mosrik4.so), which write
// it through a plain pointer: it stays a standard-layout record of six 32-bit integers.
#pragma once

#include <cstdint>
#include <type_traits>

namespace quillset {

// Filled by the encoder for each search object.
struct TMotionSearchParams {
    uint8_t IsMpeg2 = 0;       // the encoder writes MPEG-2 (ISO/IEC 13818-2)
    double PictureRate = 0.0;  // coded pictures per second
    uint8_t HalfPel = 0;       // half-sample refinement allowed
    uint8_t AlwaysHalfPel = 0; // refine even when the full-sample search gained little
    // max(4 * 2^f - 20, 8) for the direction's f_code f. The searches do not read them: their
    // reach is set by each search family's own constants.
    int32_t ForwardRange = 0;
    int32_t BackwardRange = 0;
};

// The answer of one search for one macroblock and one prediction.
struct TMotionSearchResult {
    int32_t FieldSelect = 0; // field predictions only: 0 top reference field, 1 bottom
    int32_t MvX = 0;         // half samples, relative to the macroblock
    int32_t MvY = 0;         // half samples: frame rows (frame prediction) or field rows (field)
    int32_t BestX = 0;       // absolute full-sample column of the best match
    int32_t BestY = 0;       // absolute full-sample frame row of the best match
    int32_t Cost = 0;        // sum of absolute differences; kMotionCostNotSearched when not searched
};

inline constexpr int32_t kMotionCostNotSearched = -1;

static_assert(std::is_standard_layout_v<TMotionSearchResult> && sizeof(TMotionSearchResult) == 24,
              "the packages write six 32-bit words");

// Flag words of the package parameter blocks: -1 for true, 0 for false.
constexpr int32_t PackageFlag(bool value) { return value ? -1 : 0; }

} // namespace quillset
