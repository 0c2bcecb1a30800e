// One complete encoding configuration (a template): what is produced, the video, audio and
// system streams, and the texts and hints the wizard shows for it.
#pragma once

#include <cstdint>
#include <string>

#include "config/model/audio_config.h"
#include "config/model/auto_choose_list.h"
#include "config/model/mpeg_enums.h"
#include "config/model/system_config.h"
#include "config/model/video_config.h"
#include "config/persist/persistent.h"
#include "encoder/framework/audio_types.h"
#include "encoder/mux/system_encode_config.h"
#include "encoder/video/video_encode_config.h"

namespace quillset {

// Flags of GetRateSummary.
constexpr int MPEGRateFlag_NoOverhead = 1;          // no multiplex overhead at all
constexpr int MPEGRateFlag_ElementaryOverhead = 2;  // count the overhead for elementary output too
// MPEGRateFlag_PCMAudio = 4 (audio_config.h): audio as uncompressed PCM
constexpr int MPEGRateFlag_NoAudio = 8;
constexpr int MPEGRateFlag_NoVideo = 16;

// The multiplex overhead of a 2048-byte pack carrying 2012 bytes of payload.
constexpr double kMPEGSystemOverhead = 2048.0 / 2012.0;

struct TMPEGConfig_RateSummary {
    bool IsConstant = true;
    int32_t TotalAvgBitRate = 0; // -1: unknown (no average target)
    int32_t TotalMaxBitRate = 0;
    int32_t TotalMinBitRate = 0;
    int32_t TotalMinLimit = 0;
    int32_t TotalMaxLimit = 0;
    int32_t TotalMinAvgLimit = 0;
    TMPEGVideoConfig_RateSettings Video;
    int32_t AudioAvgBitRate = 0;
    int32_t AudioMaxBitRate = 0;
    int32_t AudioMinBitRate = 0;
    double VideoOverhead = 1.0;
    double AudioOverhead = 1.0;
};

class TMPEGConfig : public TPersistent {
public:
    TMPEGConfig();

    static const TClassInfo& StaticClassInfo();
    const TClassInfo& GetClassInfo() const override { return StaticClassInfo(); }

    // The extension of the output: the video or audio extension, "[video+audio]" for separate
    // elementary streams, "mpg" for system streams (empty for the elementary-stream type).
    std::string GetOutputFileExtension() const;

    // Total rates of the output with multiplex overhead (flags: MPEGRateFlag_*).
    TMPEGConfig_RateSummary GetRateSummary(int flags) const;
    // Whole seconds that fit onto the medium (98 % of its capacity) at the output's rate: the
    // average (or maximum), or with longest the lowest rate the limits allow.
    int64_t GetRecordTime(TMPEGConfig_TargetMediaType media, bool pcmAudio, bool longest) const;
    // The automatic choice by video bit rate of the enabled lists; true when a setting changed.
    bool AutoChooseByBitRate();

    // The encoders' records.
    TMPEGVideoEncoder_EncodeConfig GetVideoEncodeConfig() const;
    TMPEGAudioEncoder_EncodeConfig GetAudioEncodeConfig() const;
    TMPEGSystemEncoder_EncodeConfig GetSystemEncodeConfig() const;

    // "$$" placeholders of template texts replaced by texts and by figures of this configuration.
    std::string ExpandText(const std::string& text) const;
    // Wizard texts; fileName is the template's file name.
    std::string GetWizardCategoryPath(const std::string& fileName) const;
    std::string GetWizardSubFormatText() const;
    std::string GetWizardCaptionText(const std::string& fileName) const;
    std::string GetWizardDescriptionText() const;

    std::string Text;
    std::string WizardCategoryName; // tree path, levels separated by a backslash
    std::string WizardSubFormatName;
    std::string WizardCaption;
    std::string WizardDescription;
    TMPEGConfig_TargetMediaType WizardTargetMedia{};
    bool WizardAutoCalcVideoBitRate = false;
    TMPEGConfig_WizardAutoChooseList WizardAutoChooseList;
    TMPEGConfig_OutputStreamType OutputStreamType{};
    bool OutputStreamType_ReadOnly = false;
    TMPEGVideoConfig Video;
    TMPEGAudioConfig Audio;
    TMPEGSystemConfig System;
};

// Minutes as template texts show a recording time: whole minutes, rounded down to a multiple of 5.
int32_t RecordTimeMinutes(int64_t seconds);

} // namespace quillset
