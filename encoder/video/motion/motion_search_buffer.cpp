#include "encoder/video/motion/motion_search_buffer.h"

#include <cassert>

#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/aligned_memory.h"

namespace quillset {

namespace {

std::unique_ptr<TMotionSearchBuffer> NewPlainBuffer(TMotionSearchBufferPool* pool, const TKernelTable& kernels,
                                                    TMotionSearchPicture& picture) {
    return std::make_unique<TMotionSearchBuffer>(pool, kernels, picture);
}

bool IsAnyBuffer(const TMotionSearchBuffer&) { return true; }

TMotionSearchBufferHandle* NeighbourHandle(TMotionSearchBufferHandle* handle, bool next) {
    if (handle == nullptr || handle->Buffer == nullptr)
        return nullptr;
    TMotionSearchBuffer& buffer = *handle->Buffer;
    TMotionSearchPicture* neighbour =
        next ? buffer.GetPicture().GetNextInDisplay() : buffer.GetPicture().GetPrevInDisplay();
    if (neighbour == nullptr)
        return nullptr;
    return GetMotionSearchBuffer(*neighbour, buffer.GetClass(), buffer.GetKernels())->GetHandle();
}

TMotionSearchBufferHandle* GetPrevBuffer(TMotionSearchBufferHandle* handle) { return NeighbourHandle(handle, false); }
TMotionSearchBufferHandle* GetNextBuffer(TMotionSearchBufferHandle* handle) { return NeighbourHandle(handle, true); }

} // namespace

const TMotionSearchBufferClassInfo TMotionSearchBuffer::ClassInfo = {
    "TMotionSearchBuffer", MotionSearchBufferKind_Plain, NewPlainBuffer, IsAnyBuffer};

TMotionSearchBuffer::TMotionSearchBuffer(TMotionSearchBufferPool* pool, const TKernelTable& kernels,
                                         TMotionSearchPicture& picture)
    : Pool(pool), Kernels(kernels), Picture(&picture), Source(picture.GetSearchSource()) {
    assert(Source != nullptr);
    Width = Source->Format.Width;
    Height = Source->Format.Height;
    assert(Width % 16 == 0 && Height % 16 == 0 && Source->LumaStride == Width);
    Handle.Buffer = this;
    Handle.DisplayNumber = static_cast<int32_t>(static_cast<uint32_t>(picture.GetSearchDisplayNumber()));
    Handle.GetPrevBuffer = GetPrevBuffer;
    Handle.GetNextBuffer = GetNextBuffer;
    Handle.Y = Source->Y;
}

TMotionSearchBuffer::~TMotionSearchBuffer() {
    if (Pool != nullptr)
        Pool->Release(Memory, MemorySize);
    else
        FreeAligned(Memory);
}

const uint8_t* TMotionSearchBuffer::GetY() const { return Source->Y; }

uint8_t* TMotionSearchBuffer::AllocateMemory(size_t size) {
    assert(Memory == nullptr);
    Memory = Pool != nullptr ? Pool->Acquire(size) : AllocAligned(size);
    MemorySize = size;
    return static_cast<uint8_t*>(Memory);
}

TMotionSearchBufferSet::TMotionSearchBufferSet() = default;

TMotionSearchBufferSet::~TMotionSearchBufferSet() { Release(); }

TMotionSearchBuffer* TMotionSearchBufferSet::Get(int32_t kind) const {
    assert(kind >= 0 && kind < SlotCount);
    std::lock_guard<std::mutex> guard(Lock);
    return Buffers[static_cast<size_t>(kind)].get();
}

void TMotionSearchBufferSet::Release() {
    std::lock_guard<std::mutex> guard(Lock);
    for (auto& buffer : Buffers)
        buffer.reset();
}

TMotionSearchBuffer* TMotionSearchBufferSet::GetOrCreate(
    int32_t kind, const std::function<std::unique_ptr<TMotionSearchBuffer>()>& create) {
    assert(kind >= 0 && kind < SlotCount);
    std::lock_guard<std::mutex> guard(Lock);
    auto& slot = Buffers[static_cast<size_t>(kind)];
    if (!slot)
        slot = create();
    return slot.get();
}

TMotionSearchBuffer* GetMotionSearchBuffer(TMotionSearchPicture& picture, TMotionSearchBufferClass bufferClass,
                                           const TKernelTable& kernels) {
    assert(bufferClass != nullptr);
    TMotionSearchBuffer* buffer = picture.GetSearchBuffers().GetOrCreate(
        bufferClass->Kind, [&] { return bufferClass->New(picture.GetSearchBufferPool(), kernels, picture); });
    assert(bufferClass->IsInstance(*buffer));
    return buffer;
}

} // namespace quillset
