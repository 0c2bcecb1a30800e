// The four-block cache against a scripted device: what reaches the device when blocks are
// reused, and how failed loads and write-outs leave the cache.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "stream/block_cache.h"

namespace quillset {
namespace {

constexpr int32_t kBlock = 16;

// A disk held in a string. Loads fill the rest of the buffer with 'Z', as a whole-block read of
// a file returns whatever lies past the data; stores record the whole buffer.
class ScriptedDevice : public TLargeBlockCacheDevice {
public:
    int32_t LoadBlock(TLargeCacheBlock& block, int32_t wanted) override {
        std::memset(block.Buffer, 'Z', kBlock);
        const auto offset = static_cast<size_t>(block.FileOffset);
        const size_t have = offset < disk.size() ? std::min<size_t>(kBlock, disk.size() - offset) : 0;
        std::memcpy(block.Buffer, disk.data() + offset, have);
        return failLoads ? wanted - 1 : static_cast<int32_t>(have);
    }
    bool StoreBlock(const TLargeCacheBlock& block) override {
        if (failStores)
            return false;
        stores.emplace_back(reinterpret_cast<const char*>(block.Buffer), kBlock);
        const auto offset = static_cast<size_t>(block.FileOffset);
        if (disk.size() < offset + kBlock)
            disk.resize(offset + kBlock);
        disk.replace(offset, kBlock, stores.back());
        return true;
    }
    bool AddBlocks(int64_t) override { return true; }

    std::string disk;
    std::vector<std::string> stores;
    bool failLoads = false;
    bool failStores = false;
};

TEST(BlockCache, BlocksReachTheDeviceWithoutStaleBytes) {
    ScriptedDevice device;
    device.disk = std::string(20, 'd');
    TLargeBlockCache cache(device, kBlock, true, true, 20);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(cache.GetRecentBlocks()[0]->Buffer) % kBlock, 0u);

    // Block 1 is read (4 bytes of data, the rest 'Z' from the device) and extended by one byte.
    ASSERT_EQ(cache.WriteAt(20, "C", 1), 1);
    ASSERT_TRUE(cache.WriteOutAll());
    EXPECT_EQ(device.disk.substr(16), "ddddC" + std::string(11, '\0'));
    // Blocks 2 to 4 are new and block 5 reuses a buffer that held older data.
    const std::string fill(4 * kBlock - 5, 'A');
    ASSERT_EQ(cache.WriteAt(21, fill.data(), static_cast<int32_t>(fill.size())), static_cast<int32_t>(fill.size()));
    ASSERT_EQ(cache.WriteAt(80, "BBBBB", 5), 5);
    ASSERT_TRUE(cache.WriteOutAll());
    EXPECT_EQ(device.disk.substr(80), "BBBBB" + std::string(11, '\0'));
    for (const std::string& store : device.stores)
        EXPECT_EQ(store.find('Z'), std::string::npos) << "stale bytes stored";
}

TEST(BlockCache, BlockThatCannotBeReadIsNotCached) {
    ScriptedDevice device;
    device.disk = std::string(32, 'd');
    TLargeBlockCache cache(device, kBlock, false, true, 32);
    char buffer[16];
    device.failLoads = true;
    EXPECT_EQ(cache.ReadAt(16, buffer, 16), 0);
    // A write must not land in a block whose bytes were never read: they would become zeros.
    EXPECT_EQ(cache.WriteAt(16, "x", 1), 0);
    device.failLoads = false;
    EXPECT_EQ(cache.ReadAt(16, buffer, 16), 16);
    EXPECT_EQ(std::string(buffer, 16), std::string(16, 'd'));
}

TEST(BlockCache, FailedWriteOutKeepsTheBlockDirty) {
    ScriptedDevice device;
    TLargeBlockCache cache(device, kBlock, false, true, 0);
    const std::string data(4 * kBlock, 'a');
    device.failStores = true;
    ASSERT_EQ(cache.WriteAt(0, data.data(), 4 * kBlock), 4 * kBlock);
    // Block 4 needs the buffer of block 0, whose write-out fails.
    EXPECT_EQ(cache.WriteAt(4 * kBlock, "b", 1), 0);
    EXPECT_FALSE(cache.WriteOutAll());
    device.failStores = false;
    EXPECT_TRUE(cache.WriteOutAll());
    EXPECT_EQ(device.disk, data);
}

TEST(BlockCache, ResizeClampsADirtyBlockThatCouldNotBeWritten) {
    ScriptedDevice device;
    TLargeBlockCache cache(device, kBlock, false, true, 0);
    ASSERT_EQ(cache.WriteAt(0, "0123456789", 10), 10);
    device.failStores = true;
    EXPECT_FALSE(cache.WriteOutAll());
    char buffer[16];
    cache.Resize(4);
    EXPECT_EQ(cache.ReadAt(0, buffer, 16), 4);
    cache.Resize(12);
    ASSERT_EQ(cache.ReadAt(0, buffer, 16), 12);
    EXPECT_EQ(std::string(buffer, 12), "0123" + std::string(8, '\0'));
    cache.Resize(0);
    EXPECT_EQ(cache.ReadAt(0, buffer, 16), 0);
    device.failStores = false;
    EXPECT_TRUE(cache.WriteOutAll());
    EXPECT_TRUE(device.stores.empty()) << "a block past the end was written";
}

} // namespace
} // namespace quillset
