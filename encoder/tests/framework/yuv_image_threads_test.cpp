// Images created, shared and destroyed on several threads at once over one pool, as source
// readers, encoder workers and the display do. Meant to be run under AddressSanitizer: a
// reference count that races shows as a buffer handed out twice, freed twice or leaked.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "encoder/framework/yuv_image.h"

namespace quillset {
namespace {

TMPEGVideo_YUVImageFormat RoundedFormat(int32_t chromaFormat, int32_t width, int32_t height) {
    TMPEGVideo_YUVImageFormat format;
    format.ChromaFormat = chromaFormat;
    format.Width = width;
    format.Height = height;
    format.ChromaWidth = width / 2;
    format.ChromaHeight = chromaFormat == 1 ? height / 2 : height;
    format.PictureWidth = width;
    format.PictureHeight = height;
    return format;
}

// A shared image handed from one thread to another, with the byte its pixels were filled with.
struct HandOver {
    std::unique_ptr<TMPEGVideo_YUVImage> Image;
    uint8_t Tag;
};

class HandOverQueue {
public:
    void Push(HandOver item) {
        std::lock_guard lock(Mutex);
        Items.push_back(std::move(item));
    }
    bool Pop(HandOver& item) {
        std::lock_guard lock(Mutex);
        if (Items.empty())
            return false;
        item = std::move(Items.front());
        Items.pop_front();
        return true;
    }

private:
    std::mutex Mutex;
    std::deque<HandOver> Items;
};

// Whether every byte of the image still holds the tag.
bool HoldsTag(const TMPEGVideo_YUVImage& image, uint8_t tag) {
    for (int32_t i = 0; i < image.Size; ++i)
        if (image.Memory[i] != tag)
            return false;
    return true;
}

TEST(YUVImageThreadTest, ImagesComeAndGoOnManyThreadsOverOnePool) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 400;
    auto pool = std::make_unique<TMPEGVideo_YUVImagePool>(6);
    const TMPEGVideo_YUVImageFormat formats[] = {RoundedFormat(1, 64, 48), RoundedFormat(2, 32, 32)};
    HandOverQueue queue;
    std::atomic<int> corrupted{0};

    auto producer = [&](int thread) {
        for (int round = 0; round < kRounds; ++round) {
            const auto tag = static_cast<uint8_t>(thread * 61 + round);
            auto image = std::make_unique<TMPEGVideo_YUVImage>(pool.get(), formats[(round + thread) % 2]);
            std::memset(image->Memory, tag, static_cast<size_t>(image->Size));
            auto shared = TMPEGVideo_YUVImage::CreateShared(*image);
            if (round % 3 == 0) // a short-lived third reference
                TMPEGVideo_YUVImage::CreateShared(*shared).reset();
            std::this_thread::yield();
            if (!HoldsTag(*image, tag))
                ++corrupted;
            queue.Push({std::move(shared), tag});
            image.reset();

            HandOver item;
            if (round % 2 == 0 && queue.Pop(item)) {
                if (!HoldsTag(*item.Image, item.Tag))
                    ++corrupted;
                item.Image.reset();
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back(producer, t);
    for (std::thread& thread : threads)
        thread.join();
    threads.clear();

    // The pool goes away while other threads still destroy the images handed to them.
    auto consumer = [&] {
        HandOver item;
        while (queue.Pop(item)) {
            if (!HoldsTag(*item.Image, item.Tag))
                ++corrupted;
            item.Image.reset();
        }
    };
    threads.emplace_back(consumer);
    threads.emplace_back(consumer);
    pool.reset();
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(corrupted.load(), 0);
}

} // namespace
} // namespace quillset
