// The motion-search class tree: one search object per picture and reference direction, chosen
// by the picture's search speed and by frame or field (interlaced) coding, called once per
// macroblock during analysis.
//
// Usage by the encoder:
//   TMotionSearchClass cls = GetMotionSearchClass(picture, fieldMode);
//   auto search = CreateMotionSearch(cls, kernels, referencePicture, picture, params);
//   search->SearchFrame(x, y, result);                                    // frame coding
//   search->SearchFieldMode(x, y, mode, frameResult, top, bottom);        // field-mode classes
//
// A search object holds no state between macroblock calls and is used by one thread; several
// searches may run on different threads against the same (read-only) buffers.
#pragma once

#include <cstdint>
#include <memory>

#include "encoder/kernels/kernel_table.h"
#include "encoder/video/motion/motion_search_buffer.h"
#include "encoder/video/motion/motion_search_types.h"
#include "encoder/video/motion/search_area.h"

namespace quillset {

class TMotionSearch;

// The `mode` of SearchFieldMode: the encoder's field/frame hint for one macroblock.
enum TMotionSearchFieldMode : int32_t {
    MotionSearchFieldMode_Auto = 0,      // frame search; field searches when its cost reaches T
    MotionSearchFieldMode_FrameOnly = 1, // frame search only; both field results not searched
    MotionSearchFieldMode_FieldOnly = 2, // field searches only; the frame result not searched
};

// A search class: its name, the buffer class it compares, whether it searches fields, and its
// constructor. The buffers given to Create must be of BufferClass or a descendant and of the
// same size.
struct TMotionSearchClassInfo {
    const char* Name;
    TMotionSearchBufferClass BufferClass;
    bool FieldMode;
    std::unique_ptr<TMotionSearch> (*Create)(const TKernelTable& kernels, TMotionSearchBuffer* reference,
                                             TMotionSearchBuffer* current, const TMotionSearchParams& params);
};
using TMotionSearchClass = const TMotionSearchClassInfo*;

class TMotionSearch {
public:
    // Takes its own copy of the kernel table and the sizes of the (equally sized) buffers.
    TMotionSearch(const TKernelTable& kernels, TMotionSearchBuffer* reference, TMotionSearchBuffer* current,
                  const TMotionSearchParams& params);
    virtual ~TMotionSearch() = default;
    TMotionSearch(const TMotionSearch&) = delete;
    TMotionSearch& operator=(const TMotionSearch&) = delete;

    // The buffer class the search compares.
    virtual TMotionSearchBufferClass GetBufferClass() const { return &TMotionSearchBuffer::ClassInfo; }
    // The frame prediction of the macroblock whose top-left luma sample is (x, y) (multiples of
    // 16 inside the picture). Does nothing in the root.
    virtual void SearchFrame(int32_t x, int32_t y, TMotionSearchResult& result);
    // Field-mode classes: the frame prediction and the predictions of the macroblock's top field
    // (lines y, y + 2, ..., y + 14) and bottom field (lines y + 1, ..., y + 15), each from either
    // reference field, as `mode` asks; a prediction not searched gets Cost
    // kMotionCostNotSearched with a zero vector at (x, y). Does nothing in the root and in the
    // frame-mode classes.
    virtual void SearchFieldMode(int32_t x, int32_t y, int32_t mode, TMotionSearchResult& frameResult,
                                 TMotionSearchResult& topResult, TMotionSearchResult& bottomResult);

    TMotionSearchBuffer* GetReferenceBuffer() const { return Reference; }
    TMotionSearchBuffer* GetCurrentBuffer() const { return Current; }

protected:
    // The luma planes of both buffers with the sizes and flags of this search.
    TSearchArea LumaArea() const;

    // What the field-mode classes' SearchFieldMode does around their own searches: mode 1 the
    // frame search only, mode 2 the two field searches only, mode 0 the frame search and, when
    // its cost is at least `threshold` (the class's T), the field searches.
    void SearchFieldModeWith(int32_t x, int32_t y, int32_t mode, int32_t threshold, TMotionSearchResult& frameResult,
                             TMotionSearchResult& topResult, TMotionSearchResult& bottomResult);
    // The frame search SearchFieldModeWith runs (SearchFrame unless a class reaches its frame
    // search only through SearchFieldMode) and the search of one field (0 top, 1 bottom).
    virtual void SearchFrameForFieldMode(int32_t x, int32_t y, TMotionSearchResult& result) { SearchFrame(x, y, result); }
    virtual void SearchOneField(int32_t, int32_t, int32_t, TMotionSearchResult&) {}

    // Calls a bound package entry after clearing the kernel state; false when the slot is empty.
    template <typename Entry, typename... Args>
    bool CallPackage(Entry entry, Args... args) const {
        if (entry == nullptr)
            return false;
        if (Kernels.ClearKernelState != nullptr)
            Kernels.ClearKernelState();
        entry(args...);
        return true;
    }

    TKernelTable Kernels;
    uint8_t HalfPel = 0;
    uint8_t AlwaysHalfPel = 0;
    int32_t Width = 0;           // W, the luma width and pitch
    int32_t WidthMinus16 = 0;    // W - 16
    int32_t HalfWidthLimit = 0;  // 2W - 32
    int32_t Height = 0;          // H
    int32_t HeightMinus16 = 0;   // H - 16
    int32_t HalfHeightLimit = 0; // 2H - 32
    int32_t Pitch = 0;           // W
    int32_t FieldPitch = 0;      // 2W
    int32_t MBWidth = 0;         // W div 16
    int32_t MBHeight = 0;        // H div 16
    TMotionSearchBuffer* Reference;
    TMotionSearchBuffer* Current;
};

// Marks a prediction as not searched.
void SetNotSearched(TMotionSearchResult& result, int32_t x, int32_t y);

// The class for a search speed (TMPEGVideoEncoder_MotionSearchSpeed) and coding mode, together
// with the class the speed stands for. Speeds 6 (TelescopicSearch) and 7 (MultiLayerSearch) use
// FastSearch by definition; unknown values use FastSearch too and report Substituted, so that
// the encoder can say so in its log.
struct TMotionSearchClassChoice {
    TMotionSearchClass Class;
    const char* DesignatedClassName; // the class the speed stands for ("" for unknown speeds)
    bool Substituted;                // Class is not the designated class
};
TMotionSearchClassChoice ChooseMotionSearchClass(uint8_t speed, bool fieldMode);

// The class for the picture's search speed (GetSearchSpeed) and the coding mode.
TMotionSearchClass GetMotionSearchClass(const TMotionSearchPicture& picture, bool fieldMode);

// Obtains both pictures' buffers of the class's buffer class (GetMotionSearchBuffer) and
// creates the search.
std::unique_ptr<TMotionSearch> CreateMotionSearch(TMotionSearchClass searchClass, const TKernelTable& kernels,
                                                  TMotionSearchPicture& reference, TMotionSearchPicture& current,
                                                  const TMotionSearchParams& params);

} // namespace quillset
