#include "encoder/video/motion/mb_info_list_pool.h"

#include <algorithm>

namespace quillset {

TMBInfoListPool::TMBInfoListPool(int32_t macroblockCount, int32_t maximumCount)
    : MacroblockCount(std::max(macroblockCount, 0)), MaximumCount(maximumCount) {}

TMBInfoListPool::~TMBInfoListPool() {
    for (TMBInfo* list : FreeLists)
        delete[] list;
}

TMBInfo* TMBInfoListPool::Acquire() {
    TMBInfo* list = nullptr;
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (!FreeLists.empty()) {
            list = FreeLists.back();
            FreeLists.pop_back();
        }
    }
    if (list == nullptr)
        return new TMBInfo[static_cast<size_t>(MacroblockCount)]();
    std::fill_n(list, MacroblockCount, TMBInfo{});
    return list;
}

void TMBInfoListPool::Release(TMBInfo* list) {
    if (list == nullptr)
        return;
    {
        std::lock_guard<std::mutex> guard(Lock);
        if (MaximumCount <= 0 || FreeLists.size() < static_cast<size_t>(MaximumCount)) {
            FreeLists.push_back(list);
            return;
        }
    }
    delete[] list;
}

size_t TMBInfoListPool::GetFreeCount() const {
    std::lock_guard<std::mutex> guard(Lock);
    return FreeLists.size();
}

} // namespace quillset
