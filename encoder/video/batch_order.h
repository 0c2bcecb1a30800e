// Preparing a planned batch for analysis and coding: coded order, display links, references,
// and the marks that say which pictures keep their reconstruction and which are previewed.
#pragma once

#include <cstdint>

#include "encoder/video/frame_info.h"

namespace quillset {

// Rebuilds a batch given in display order into coded order (each I or P picture followed by the
// B pictures displayed before it): BatchIndex = display position; PrevInDisplay/NextInDisplay
// link the neighbours, the first picture's predecessor being the carried reference (held by the
// picture); a P picture predicts from the reference before it, a B picture from the references
// around it; IsReferenced marks the references used. A carried reference nobody uses is
// dropped from the batch.
void OrderBatchForCoding(TMPEGVideoFrameInfoList& batch);

// Undoes the links of a coded batch: its pictures no longer hold their display predecessors,
// and references and neighbours are cleared (pictures kept beyond the batch keep nothing of it).
void UnlinkBatch(TMPEGVideoFrameInfoList& batch);

// The choice of previewed pictures, kept across the batches of a pass.
struct TPreviewSelection {
    int32_t Countdown = 0;
};

// Sets KeepReconstruction and ShowPreview on the pictures of a batch in coded order.
// `previewable`: previews are offered in this pass; `keepAll`: every picture keeps its
// reconstruction (analysis passes of two-pass coding); `realtime`: the realtime modes.
void MarkReconstructions(TMPEGVideoFrameInfoList& batch, TPreviewSelection& selection, bool previewable, bool keepAll,
                         bool realtime);

} // namespace quillset
