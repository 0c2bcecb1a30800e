// The search buffers: what the searches need of a source picture, built once per picture and
// kind and shared read-only by every search that compares against that picture.
//
//   TMotionSearchBuffer                        kind 0  the source luma plane only
//   TMotionSearchBuffer_FrameMode_ZoomSearch   kind 1  + frame sum picture
//   TMotionSearchBuffer_FieldMode_ZoomSearch   kind 3  + top-field and bottom-field sum pictures
//   TMotionSearchBuffer_FrameMode_RGBZoomSearch kind 2 + 24-bit RGB picture and its RGB sums
//
// A sum picture has w4 = W div 4 columns and h4 = H div 4 rows of unsigned 16-bit values, rows
// (2 * w4 + 15) rounded down to a multiple of 16 bytes apart. Frame sums are the Sum4x4 of the
// 4x4 luma block at (4c, 4r); top-field sums the Sum4x2 of luma rows 4r and 4r + 2, bottom-field
// sums of rows 4r + 1 and 4r + 3 (columns 4c to 4c + 3). The RGB picture holds W x H pixels of
// B, G, R bytes, converted with the full-range BT.601 table, rows (3W + 15) rounded down to a
// multiple of 16 bytes apart; its sum picture (W div 4) x (H div 4) entries of R, G, B sums
// (SumRgb4x4), rows (6 * (W div 4) + 15) rounded down to a multiple of 16 bytes apart.
// All memory comes from AllocAligned (directly or through the pool), with slack after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/motion/motion_search_buffer_pool.h"
#include "encoder/video/motion/motion_search_picture.h"

namespace quillset {

enum TMotionSearchBufferKind : int32_t {
    MotionSearchBufferKind_Plain = 0,
    MotionSearchBufferKind_FrameZoom = 1,
    MotionSearchBufferKind_RGBZoom = 2,
    MotionSearchBufferKind_FieldZoom = 3,
};

struct TMotionSearchBufferHandle;

// A package asks for the handle of the buffer of the same class for the picture before or after
// the handle's picture in display order; the buffer is built when needed. Returns null when the
// picture has no such neighbour.
using TMotionSearchNeighbourEntry = TMotionSearchBufferHandle* (*)(TMotionSearchBufferHandle* handle);

// The view of a buffer handed to the outside packages, in this order. Planes the buffer's class
// does not have are null.
struct TMotionSearchBufferHandle {
    TMotionSearchBuffer* Buffer = nullptr;
    int32_t DisplayNumber = 0; // the low 32 bits of the picture's display number
    TMotionSearchNeighbourEntry GetPrevBuffer = nullptr;
    TMotionSearchNeighbourEntry GetNextBuffer = nullptr;
    const uint8_t* Y = nullptr;
    const uint16_t* FrameSums = nullptr;       // zoom buffers
    const uint16_t* TopFieldSums = nullptr;    // field zoom buffer
    const uint16_t* BottomFieldSums = nullptr; // field zoom buffer
};

// A buffer class: its kind, how to build one, and the test "of this class or a descendant".
struct TMotionSearchBufferClassInfo {
    const char* Name;
    TMotionSearchBufferKind Kind;
    std::unique_ptr<TMotionSearchBuffer> (*New)(TMotionSearchBufferPool* pool, const TKernelTable& kernels,
                                                TMotionSearchPicture& picture);
    bool (*IsInstance)(const TMotionSearchBuffer& buffer);
};
using TMotionSearchBufferClass = const TMotionSearchBufferClassInfo*;

class TMotionSearchBuffer {
public:
    static const TMotionSearchBufferClassInfo ClassInfo;

    // Reads the picture's source and display number; derived classes build their pictures with
    // the kernels (Sum4x4, Sum4x2, SumRgb4x4 and the YUV to RGB export).
    TMotionSearchBuffer(TMotionSearchBufferPool* pool, const TKernelTable& kernels, TMotionSearchPicture& picture);
    // Returns the buffer's memory to the pool.
    virtual ~TMotionSearchBuffer();
    TMotionSearchBuffer(const TMotionSearchBuffer&) = delete;
    TMotionSearchBuffer& operator=(const TMotionSearchBuffer&) = delete;

    virtual TMotionSearchBufferClass GetClass() const { return &ClassInfo; }

    TMotionSearchPicture& GetPicture() const { return *Picture; }
    const TKernelTable& GetKernels() const { return Kernels; }
    const TMPEGVideo_YUVImage& GetSource() const { return *Source; }
    const uint8_t* GetY() const;
    int32_t GetWidth() const { return Width; }   // W, also the luma pitch
    int32_t GetHeight() const { return Height; } // H
    // The handle for the packages; its address is stable for the buffer's life.
    TMotionSearchBufferHandle* GetHandle() { return &Handle; }

protected:
    // One block of `size` bytes for the derived class's pictures, freed with the buffer.
    uint8_t* AllocateMemory(size_t size);

    TMotionSearchBufferPool* Pool;
    TKernelTable Kernels;
    TMotionSearchPicture* Picture;
    TMPEGVideo_YUVImage* Source;
    TMotionSearchBufferHandle Handle;
    int32_t Width = 0;
    int32_t Height = 0;

private:
    void* Memory = nullptr;
    size_t MemorySize = 0;
};

class TMotionSearchBuffer_FrameMode_ZoomSearch : public TMotionSearchBuffer {
public:
    static const TMotionSearchBufferClassInfo ClassInfo;

    TMotionSearchBuffer_FrameMode_ZoomSearch(TMotionSearchBufferPool* pool, const TKernelTable& kernels,
                                             TMotionSearchPicture& picture);
    TMotionSearchBufferClass GetClass() const override { return &ClassInfo; }

    const uint16_t* GetFrameSums() const { return FrameSums; }
    int32_t GetSumWidth() const { return SumWidth; }   // w4
    int32_t GetSumHeight() const { return SumHeight; } // h4
    int32_t GetSumPitch() const { return SumPitch; }   // bytes

protected:
    // For the field class: room for `planes` sum pictures in one block, frame sums first.
    TMotionSearchBuffer_FrameMode_ZoomSearch(TMotionSearchBufferPool* pool, const TKernelTable& kernels,
                                             TMotionSearchPicture& picture, int32_t planes);
    uint16_t* SumPlane(int32_t index) const;

    int32_t SumWidth = 0;
    int32_t SumHeight = 0;
    int32_t SumPitch = 0;
    uint16_t* FrameSums = nullptr;
};

class TMotionSearchBuffer_FieldMode_ZoomSearch : public TMotionSearchBuffer_FrameMode_ZoomSearch {
public:
    static const TMotionSearchBufferClassInfo ClassInfo;

    TMotionSearchBuffer_FieldMode_ZoomSearch(TMotionSearchBufferPool* pool, const TKernelTable& kernels,
                                             TMotionSearchPicture& picture);
    TMotionSearchBufferClass GetClass() const override { return &ClassInfo; }

    const uint16_t* GetTopFieldSums() const { return TopFieldSums; }
    const uint16_t* GetBottomFieldSums() const { return BottomFieldSums; }
    // Parity 0 top, 1 bottom.
    const uint16_t* GetFieldSums(int32_t parity) const { return parity == 0 ? TopFieldSums : BottomFieldSums; }

private:
    uint16_t* TopFieldSums = nullptr;
    uint16_t* BottomFieldSums = nullptr;
};

class TMotionSearchBuffer_FrameMode_RGBZoomSearch : public TMotionSearchBuffer {
public:
    static const TMotionSearchBufferClassInfo ClassInfo;

    TMotionSearchBuffer_FrameMode_RGBZoomSearch(TMotionSearchBufferPool* pool, const TKernelTable& kernels,
                                                TMotionSearchPicture& picture);
    TMotionSearchBufferClass GetClass() const override { return &ClassInfo; }

    const uint8_t* GetRgb() const { return Rgb; }
    int32_t GetRgbPitch() const { return RgbPitch; }
    const uint16_t* GetRgbSums() const { return RgbSums; }
    int32_t GetRgbSumWidth() const { return RgbSumWidth; }   // W div 4 entries of three values
    int32_t GetRgbSumHeight() const { return RgbSumHeight; } // H div 4
    int32_t GetRgbSumPitch() const { return RgbSumPitch; }   // bytes

private:
    uint8_t* Rgb = nullptr;
    int32_t RgbPitch = 0;
    uint16_t* RgbSums = nullptr;
    int32_t RgbSumWidth = 0;
    int32_t RgbSumHeight = 0;
    int32_t RgbSumPitch = 0;
};

// Under the picture's buffer-set lock: the picture's buffer of the class's kind, built with the
// picture's pool and `kernels` when the picture has none yet. Two searches asking at once get
// the same buffer, built once.
TMotionSearchBuffer* GetMotionSearchBuffer(TMotionSearchPicture& picture, TMotionSearchBufferClass bufferClass,
                                           const TKernelTable& kernels);

} // namespace quillset
