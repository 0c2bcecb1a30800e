// Recycled per-picture macroblock arrays (one TMBInfo per macroblock, raster order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "encoder/video/macroblock_info.h"

namespace quillset {

class TMBInfoListPool {
public:
    // macroblockCount: entries per array (macroblocks per picture); maximumCount: how many free
    // arrays are kept, 0 keeps every array.
    TMBInfoListPool(int32_t macroblockCount, int32_t maximumCount = 0);
    // Frees the free arrays. Arrays handed out and not returned must be returned first.
    ~TMBInfoListPool();
    TMBInfoListPool(const TMBInfoListPool&) = delete;
    TMBInfoListPool& operator=(const TMBInfoListPool&) = delete;

    // An array of GetMacroblockCount() records, every record in its initial state (a reused
    // array is reset, so nothing of an earlier picture shows through): the most recently
    // returned array, or a new one. Thread-safe.
    TMBInfo* Acquire();
    // Returns an array taken from this pool: kept when the maximum is 0 or fewer arrays than the
    // maximum are kept, freed otherwise. Null is ignored. Thread-safe.
    void Release(TMBInfo* list);

    int32_t GetMacroblockCount() const { return MacroblockCount; }
    int32_t GetMaximumCount() const { return MaximumCount; }
    size_t GetFreeCount() const;

private:
    mutable std::mutex Lock;
    std::vector<TMBInfo*> FreeLists; // most recently returned last
    int32_t MacroblockCount;
    int32_t MaximumCount;
};

} // namespace quillset
