// What motion search needs of a picture record, and the search buffers the record keeps.
//
// The video encoder's per-picture record implements TMotionSearchPicture and embeds one
// TMotionSearchBufferSet; motion search reaches pictures only through this interface, so it does
// not depend on the record's other contents.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace quillset {

class TMPEGVideo_YUVImage;
class TMotionSearchBuffer;
class TMotionSearchBufferPool;
class TMotionSearchBufferSet;

// Picture types as the picture record stores them.
enum : uint8_t {
    MotionSearchPictureType_I = 0,
    MotionSearchPictureType_P = 1,
    MotionSearchPictureType_B = 2,
};

class TMotionSearchPicture {
public:
    virtual ~TMotionSearchPicture() = default;

    // The source picture; its luma plane (Format.Width x Format.Height, both multiples of 16,
    // pitch LumaStride == Format.Width) is what the searches compare. Must stay valid while the
    // picture's search buffers exist.
    virtual TMPEGVideo_YUVImage* GetSearchSource() const = 0;
    // Display number, counting from 0.
    virtual int64_t GetSearchDisplayNumber() const = 0;
    // MotionSearchPictureType_I, _P or _B.
    virtual uint8_t GetSearchPictureType() const = 0;
    // The picture's search speed (TMPEGVideoEncoder_MotionSearchSpeed, the record's
    // MotionSearchMode).
    virtual uint8_t GetSearchSpeed() const = 0;
    // The neighbours in display order; null at the ends of what the encoder links.
    virtual TMotionSearchPicture* GetPrevInDisplay() const = 0;
    virtual TMotionSearchPicture* GetNextInDisplay() const = 0;
    // The record's search buffers.
    virtual TMotionSearchBufferSet& GetSearchBuffers() = 0;
    // The pool the buffers draw their memory from; null allocates directly. Must outlive the
    // picture's buffers.
    virtual TMotionSearchBufferPool* GetSearchBufferPool() const = 0;
};

// The search buffers of one picture, one slot per buffer kind, created on first demand by
// GetMotionSearchBuffer (motion_search_buffer.h) under the set's lock and read-only afterwards.
class TMotionSearchBufferSet {
public:
    static constexpr int32_t SlotCount = 6;

    TMotionSearchBufferSet();
    // Releases every buffer.
    ~TMotionSearchBufferSet();
    TMotionSearchBufferSet(const TMotionSearchBufferSet&) = delete;
    TMotionSearchBufferSet& operator=(const TMotionSearchBufferSet&) = delete;

    // The buffer of a kind (0 .. SlotCount - 1), or null when none was built.
    TMotionSearchBuffer* Get(int32_t kind) const;
    // Frees every buffer (their memory goes back to the pool), when the picture leaves
    // analysis. No search may still use them.
    void Release();

    // Under the lock: the buffer of `kind`, made by `create` when there is none yet (an
    // exception from `create` leaves the slot empty).
    TMotionSearchBuffer* GetOrCreate(int32_t kind, const std::function<std::unique_ptr<TMotionSearchBuffer>()>& create);

private:
    mutable std::mutex Lock;
    std::array<std::unique_ptr<TMotionSearchBuffer>, SlotCount> Buffers;
};

} // namespace quillset
