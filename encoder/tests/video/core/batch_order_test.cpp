#include "encoder/video/batch_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/video/preview_list.h"

namespace quillset {
namespace {

// A batch in display order from type letters, display numbers from `first`, with an optional
// carried reference.
struct Batch {
    Batch(const std::string& types, int64_t first, TMPEGVideoFrameInfo* carried = nullptr) {
        for (size_t i = 0; i < types.size(); ++i) {
            auto* info = new TMPEGVideoFrameInfo(0);
            info->DisplayNumber = first + static_cast<int64_t>(i);
            info->PictureType = types[i] == 'I' ? PictureType_I : (types[i] == 'P' ? PictureType_P : PictureType_B);
            List.Add(info);
        }
        List.SetCarriedReference(carried);
        if (List.Count() > 0)
            List.Last()->IsLastReference = 1;
    }
    ~Batch() { UnlinkBatch(List); }

    std::vector<int64_t> CodedNumbers() const {
        std::vector<int64_t> numbers;
        for (int32_t i = 0; i < List.Count(); ++i)
            numbers.push_back(List[i]->DisplayNumber);
        return numbers;
    }
    TMPEGVideoFrameInfo* Display(int64_t number) const {
        for (int32_t i = 0; i < List.Count(); ++i)
            if (List[i]->DisplayNumber == number)
                return List[i];
        return nullptr;
    }

    TMPEGVideoFrameInfoList List;
};

TEST(BatchOrder, CodedOrderAndReferencesOfAnOpenGOP) {
    TFrameInfoRef carried(new TMPEGVideoFrameInfo(0));
    carried->DisplayNumber = 9;
    carried->PictureType = PictureType_P;
    Batch b("BBIBBP", 10, carried.Get());
    OrderBatchForCoding(b.List);
    EXPECT_EQ(b.CodedNumbers(), (std::vector<int64_t>{12, 10, 11, 15, 13, 14}));
    const TMPEGVideoFrameInfo* i = b.Display(12);
    const TMPEGVideoFrameInfo* p = b.Display(15);
    EXPECT_EQ(i->ForwardRef, nullptr);
    EXPECT_EQ(p->ForwardRef, i);
    EXPECT_EQ(b.Display(10)->ForwardRef, carried.Get());
    EXPECT_TRUE(b.Display(10)->ForwardRefIsCarried);
    EXPECT_EQ(b.Display(10)->BackwardRef, i);
    EXPECT_EQ(b.Display(13)->ForwardRef, i);
    EXPECT_EQ(b.Display(13)->BackwardRef, p);
    EXPECT_TRUE(i->IsReferenced);
    EXPECT_TRUE(p->IsReferenced);
    EXPECT_EQ(b.List.GetCarriedReference(), carried.Get());
    // Display links: the first picture's predecessor is the carried reference, held.
    EXPECT_EQ(b.Display(10)->PrevInDisplay, carried.Get());
    EXPECT_EQ(carried->GetRefCount(), 3); // this test, the batch, the first picture
    EXPECT_EQ(b.Display(12)->NextInDisplay, b.Display(13));
    EXPECT_EQ(b.Display(15)->NextInDisplay, nullptr);
    for (int64_t n = 10; n < 16; ++n)
        EXPECT_EQ(b.Display(n)->BatchIndex, n - 10);
}

TEST(BatchOrder, UnusedCarriedReferenceIsDropped) {
    TFrameInfoRef carried(new TMPEGVideoFrameInfo(0));
    Batch b("IBBP", 20, carried.Get());
    OrderBatchForCoding(b.List);
    EXPECT_EQ(b.CodedNumbers(), (std::vector<int64_t>{20, 23, 21, 22}));
    EXPECT_EQ(b.List.GetCarriedReference(), nullptr);
    UnlinkBatch(b.List);
    EXPECT_EQ(carried->GetRefCount(), 1);
}

TEST(BatchOrder, MarksKeepReferencesAndChoosePreviews) {
    Batch b("IBBPBBPBBPBBIBBP", 0);
    b.List.PreviewInterval = 4;
    b.List.PreviewsPerBatch = 0;
    OrderBatchForCoding(b.List);
    TPreviewSelection selection;
    MarkReconstructions(b.List, selection, true, false, false);
    std::string shown;
    for (int32_t i = 0; i < b.List.Count(); ++i) {
        const TMPEGVideoFrameInfo* info = b.List[i];
        EXPECT_EQ(info->KeepReconstruction != 0, info->PictureType != PictureType_B || info->ShowPreview) << i;
        if (info->ShowPreview)
            shown += PictureTypeLetter(info->PictureType);
    }
    // A batch with I pictures previews only I pictures, at most one per interval.
    EXPECT_EQ(shown, "II");
    // At most one per batch when asked.
    Batch c("IBBPBBPBBPBBIBBP", 0);
    c.List.PreviewInterval = 2;
    c.List.PreviewsPerBatch = 1;
    OrderBatchForCoding(c.List);
    TPreviewSelection fresh;
    MarkReconstructions(c.List, fresh, true, false, false);
    int count = 0;
    for (int32_t i = 0; i < c.List.Count(); ++i)
        count += c.List[i]->ShowPreview;
    EXPECT_EQ(count, 1);
}

TEST(BatchOrder, IntervalOneKeepsAndShowsEverything) {
    Batch b("IBBP", 0);
    b.List.PreviewInterval = 1;
    OrderBatchForCoding(b.List);
    TPreviewSelection selection;
    MarkReconstructions(b.List, selection, true, false, false);
    for (int32_t i = 0; i < b.List.Count(); ++i) {
        EXPECT_TRUE(b.List[i]->KeepReconstruction);
        EXPECT_TRUE(b.List[i]->ShowPreview);
    }
    // No previews in a pass that offers none; references are still kept.
    MarkReconstructions(b.List, selection, false, false, false);
    EXPECT_FALSE(b.List[0]->ShowPreview);
    EXPECT_TRUE(b.List[0]->KeepReconstruction);
}

TEST(PreviewList, IntervalOneReleasesInDisplayOrder) {
    Batch b("BBIBBP", 10);
    OrderBatchForCoding(b.List);
    std::vector<int64_t> shown;
    TMPEGVideoEncoder_PreviewList list(1, [&](TMPEGVideo_YUVImage*, int64_t n) { shown.push_back(n); });
    for (int32_t i = 0; i < b.List.Count(); ++i)
        list.Offer(b.List[i]);
    list.Finish();
    EXPECT_EQ(shown, (std::vector<int64_t>{10, 11, 12, 13, 14, 15}));
    // Other intervals pass pictures through in coded order.
    shown.clear();
    TMPEGVideoEncoder_PreviewList direct(10, [&](TMPEGVideo_YUVImage*, int64_t n) { shown.push_back(n); });
    for (int32_t i = 0; i < b.List.Count(); ++i)
        direct.Offer(b.List[i]);
    direct.Finish();
    EXPECT_EQ(shown, b.CodedNumbers());
}

TEST(PreviewList, FinishReleasesHeldPicturesInOrder) {
    Batch b("IBBP", 0);
    OrderBatchForCoding(b.List);
    std::vector<int64_t> shown;
    TMPEGVideoEncoder_PreviewList list(1, [&](TMPEGVideo_YUVImage*, int64_t n) { shown.push_back(n); });
    list.Offer(b.Display(0));
    list.Offer(b.Display(3)); // the B pictures before it never arrive
    EXPECT_EQ(shown, (std::vector<int64_t>{0}));
    list.Finish();
    EXPECT_EQ(shown, (std::vector<int64_t>{0, 3}));
}

} // namespace
} // namespace quillset
