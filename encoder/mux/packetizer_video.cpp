#include "encoder/mux/packetizer_video.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/elementary_headers.h"
#include "encoder/mux/multiplexor_base.h"
#include "stream/byte_buffer_bit_rewriter.h"

namespace quillset {

namespace {

constexpr uint8_t kPictureCode = 0x00;
constexpr uint8_t kUserDataCode = 0xB2;
constexpr uint8_t kSequenceHeaderCode = 0xB3;
constexpr uint8_t kExtensionCode = 0xB5;
constexpr uint8_t kSequenceEndCode = 0xB7;
constexpr uint8_t kGroupCode = 0xB8;
// Header bytes after a start code that every handler but user data reads at most.
constexpr int32_t kHeaderLookahead = 12;
// User data longer than this is handled with what is queued.
constexpr int64_t kUserDataLimit = 1 << 20;

bool IsSliceCode(uint8_t code) { return code >= 0x01 && code <= 0xAF; }

// The scan-information block of a Super Video CD I picture: user data 0x10 0x0E and 12 offset
// bytes, 0xFF where the multiplexer has not filled them.
constexpr uint8_t kScanInformationBlock[18] = {0x00, 0x00, 0x01, 0xB2, 0x10, 0x0E, 0xFF, 0xFF, 0xFF,
                                               0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

} // namespace

TMPEGPacketizerStream_MPEGVideo::TMPEGPacketizerStream_MPEGVideo(TMultiplexEngine_MultiplexorBase& engine,
                                                                 const TMPEGSystemEncoder_StreamInfo& info)
    : TMPEGPacketizerStream(engine, info) {
    TimestampMode = 2;
}

void TMPEGPacketizerStream_MPEGVideo::AllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) {
    GetAllowedStreamIdsOfKind(MPEGSystemEncoder_StreamKind_MPEGVideo, streamIds, substreamIds);
}

void TMPEGPacketizerStream_MPEGVideo::Reset() {
    TMPEGPacketizerStream::Reset();
    ParsePos = 0;
    SequenceSeen = false;
    DecodeFields = 0;
    DisplayFields = 0;
    LastDisplayed = -1;
    LastDisplayedFields = 0;
    HeldAnchor = -1;
    DisplayBase = -1;
    FirstPicture = -1;
    WaitingForBase.clear();
    PendingGroupStart = -1;
    CurrentPicture = -1;
    CurrentSliceSeen = false;
    CurrentHasScanInfo = false;
    LargestPicture = 0;
}

void TMPEGPacketizerStream_MPEGVideo::Prescan() {
    if (Source == nullptr)
        return;
    const TMPEGVideoRateScan scan = ScanVideoRates(*Source, [this] { NotifyProgress(); });
    FrameRateCode = scan.FrameRateCode;
    FrameRate = scan.FrameRate;
    VariableRate = scan.VariableRate;
    VBVSize = scan.VBVSize;
    MPEG2 = scan.MPEG2;
    int32_t average = scan.AverageRate;
    if (average <= 0 && scan.Duration > 0)
        average = static_cast<int32_t>(std::llround(static_cast<long double>(scan.Length) * 8 / scan.Duration));
    int32_t maximum = scan.MaximumRate;
    if (maximum <= 0)
        maximum = average + static_cast<int32_t>(std::ceil(average * 0.5));
    AverageRate = average;
    MaximumRate = maximum;
    RatesSet = true;
    MaxFromUserData = AvgFromUserData = true; // the stream's headers must not replace them
}

TMPEGPacketizer_AccessUnit* TMPEGPacketizerStream_MPEGVideo::FindUnit(int64_t sequence) {
    std::deque<TMPEGPacketizer_AccessUnit>& units = GetAccessUnits();
    if (sequence < 0 || units.empty())
        return nullptr;
    const int64_t index = sequence - static_cast<int64_t>(units.front().Sequence);
    if (index < 0 || index >= static_cast<int64_t>(units.size()))
        return nullptr;
    return &units[static_cast<size_t>(index)];
}

void TMPEGPacketizerStream_MPEGVideo::CheckLeadingBytes(int64_t from, int64_t to) {
    for (int64_t i = std::max(from, TakenBytes()); i < to; ++i)
        if (*At(i) != 0)
            throw EMPEGSystemEncoderError(MPEGError_IllegalVideoStream);
}

int32_t TMPEGPacketizerStream_MPEGVideo::NeededBytes(int64_t position, uint8_t code, bool final) const {
    if (code != kUserDataCode)
        return kHeaderLookahead;
    // User data runs to the next start code.
    const int64_t end = QueuedEnd();
    for (int64_t i = position + 4; i + 3 <= end; ++i) {
        const uint8_t* p = At(i);
        if (p[0] == 0 && p[1] == 0 && p[2] == 1)
            return static_cast<int32_t>(i - position - 4);
        if (i - position > kUserDataLimit)
            return 0;
    }
    return final ? 0 : static_cast<int32_t>(kUserDataLimit + 1);
}

void TMPEGPacketizerStream_MPEGVideo::ParseChunk(bool final) {
    for (;;) {
        const int64_t end = QueuedEnd();
        int64_t found = -1;
        int64_t i = std::max(ParsePos, TakenBytes());
        while (i + 3 < end) {
            const uint8_t* base = At(i);
            const void* hit = std::memchr(base + 2, 1, static_cast<size_t>(end - i - 3));
            if (hit == nullptr) {
                i = end - 3;
                break;
            }
            const int64_t one = i + (static_cast<const uint8_t*>(hit) - base);
            if (*At(one - 1) == 0 && *At(one - 2) == 0) {
                found = one - 2;
                break;
            }
            i = one - 1;
        }
        if (found < 0) {
            if (!SequenceSeen)
                CheckLeadingBytes(ParsePos, std::max(ParsePos, end - 3));
            ParsePos = std::max(ParsePos, end - 3);
            break;
        }
        const uint8_t code = *At(found + 3);
        if (!SequenceSeen) {
            CheckLeadingBytes(ParsePos, found);
            if (code != kSequenceHeaderCode)
                throw EMPEGSystemEncoderError(MPEGError_IllegalVideoStream);
        }
        const int32_t needed = NeededBytes(found, code, final);
        if (found + 4 + needed > end && !final) {
            ParsePos = found;
            break;
        }
        const int32_t inserted = HandleStartCode(found, code);
        ParsePos = found + inserted + 4;
    }
    if (final) {
        if (!SequenceSeen && QueuedEnd() > TakenBytes())
            throw EMPEGSystemEncoderError(MPEGError_IllegalVideoStream);
        if (HeldAnchor >= 0) {
            if (TMPEGPacketizer_AccessUnit* anchor = FindUnit(HeldAnchor))
                Display(*anchor);
            HeldAnchor = -1;
        }
        if (DisplayBase < 0 && FirstPicture >= 0) {
            const TMPEGPacketizer_AccessUnit* first = FindUnit(FirstPicture);
            DisplayBase = first != nullptr ? first->Fields : 2;
            TimeWaitingUnits();
        }
    }
    UpdateComplete();
}

int32_t TMPEGPacketizerStream_MPEGVideo::HandleStartCode(int64_t position, uint8_t code) {
    if (IsSliceCode(code)) {
        if (CurrentPicture >= 0 && !CurrentSliceSeen)
            return HandleFirstSlice(position);
        return 0;
    }
    switch (code) {
    case kSequenceHeaderCode:
        HandleSequenceHeader(position);
        break;
    case kGroupCode:
        if (PendingGroupStart < 0)
            PendingGroupStart = position;
        break;
    case kExtensionCode:
        HandleExtension(position);
        break;
    case kPictureCode:
        HandlePicture(position);
        break;
    case kUserDataCode:
        HandleUserData(position);
        break;
    case kSequenceEndCode:
        // A decoder shows the held picture at the end of a sequence.
        if (HeldAnchor >= 0) {
            if (TMPEGPacketizer_AccessUnit* anchor = FindUnit(HeldAnchor))
                Display(*anchor);
            HeldAnchor = -1;
        }
        break;
    default:
        break;
    }
    return 0;
}

void TMPEGPacketizerStream_MPEGVideo::HandleSequenceHeader(int64_t position) {
    uint8_t bytes[8] = {};
    Peek(position + 4, bytes, 8);
    TMPEGVideoSequenceHeader header;
    ParseMPEGVideoSequenceHeader(bytes, header);
    const double rate = GetMPEGFrameRate(header.FrameRateCode);
    if (rate <= 0)
        throw EMPEGSystemEncoderError(MPEGError_IllegalVideoStream);
    if (PendingGroupStart < 0)
        PendingGroupStart = position;
    if (SequenceSeen)
        return;
    SequenceSeen = true;
    FrameRateCode = header.FrameRateCode;
    FrameRate = rate;
    BitRateValue = header.BitRateValue;
    VBVValue = header.VBVBufferSizeValue;
    VBVSize = VBVValue * 2048;
    if (RatesSet)
        return;
    if (BitRateValue == 0x3FFFF) {
        VariableRate = true;
    } else {
        AverageRate = MaximumRate = BitRateValue * 400;
    }
}

void TMPEGPacketizerStream_MPEGVideo::HandleExtension(int64_t position) {
    uint8_t b[kHeaderLookahead] = {};
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(kHeaderLookahead, QueuedEnd() - position - 4));
    if (count < 5)
        return;
    Peek(position + 4, b, count);
    const int32_t id = b[0] >> 4;
    if (id == 1 && count >= 6) { // sequence extension (ISO/IEC 13818-2, 6.2.2.3)
        MPEG2 = true;
        ProgressiveSequence = (b[1] >> 3 & 1) != 0;
        const int32_t rateExtension = (b[2] & 0x1F) << 7 | b[3] >> 1;
        const int32_t vbvExtension = b[4];
        VBVSize = (vbvExtension << 10 | VBVValue) * 2048;
        if (RatesSet)
            return;
        const int64_t value = static_cast<int64_t>(rateExtension) << 18 | BitRateValue;
        if (value == (int64_t{1} << 30) - 1) {
            VariableRate = true;
            if (!MaxFromUserData)
                MaximumRate = 0;
            if (!AvgFromUserData)
                AverageRate = 0;
        } else {
            const int64_t rate = std::min<int64_t>(value * 400, INT32_MAX);
            if (!MaxFromUserData)
                MaximumRate = static_cast<int32_t>(rate);
            if (!AvgFromUserData)
                AverageRate = static_cast<int32_t>(rate);
        }
    } else if (id == 2) { // sequence display extension
        if (Engine.GetConfig().RewriteDisplaySize != 0)
            RewriteDisplaySize(position);
    } else if (id == 8) { // picture coding extension (6.2.3.1)
        TMPEGPacketizer_AccessUnit* unit = FindUnit(CurrentPicture);
        if (unit == nullptr)
            return;
        const bool topFieldFirst = (b[3] >> 7 & 1) != 0;
        const bool repeatFirstField = (b[3] >> 1 & 1) != 0;
        if (!repeatFirstField)
            return;
        // A repeated field; in a progressive sequence a repeated frame (6.3.10).
        const int32_t fields = ProgressiveSequence ? (topFieldFirst ? 6 : 4) : 3;
        SetPictureFields(*unit, fields);
    }
}

void TMPEGPacketizerStream_MPEGVideo::SetPictureFields(TMPEGPacketizer_AccessUnit& unit, int32_t fields) {
    const int32_t extra = fields - unit.Fields;
    unit.Fields = fields;
    DecodeFields += extra;
    Clock += static_cast<long double>(extra) / (2 * FrameRate);
    if (LastDisplayed == unit.Sequence)
        LastDisplayedFields = fields;
}

void TMPEGPacketizerStream_MPEGVideo::RewriteDisplaySize(int64_t position) {
    uint8_t b[kHeaderLookahead] = {};
    if (!Peek(position + 4, b, 9))
        return;
    TByteBufferBitRewriter bits(b, false);
    bits.SkipBits(4 + 3);
    const bool colourDescription = bits.GetBits(1) != 0;
    if (colourDescription)
        bits.SkipBits(24);
    const TMPEGSystemEncoder_EncodeConfig& config = Engine.GetConfig();
    bits.PutBits(static_cast<uint32_t>(config.DisplayWidth), 14);
    bits.SkipBits(1);
    bits.PutBits(static_cast<uint32_t>(config.DisplayHeight), 14);
    Poke(position + 4, b, 9);
}

void TMPEGPacketizerStream_MPEGVideo::CloseLastUnit(int64_t end) {
    std::deque<TMPEGPacketizer_AccessUnit>& units = GetAccessUnits();
    if (units.empty() || units.back().Closed)
        return;
    TMPEGPacketizer_AccessUnit& last = units.back();
    last.Size = end - last.Start;
    last.Closed = true;
    LargestPicture = std::max<int32_t>(LargestPicture, static_cast<int32_t>(std::min<int64_t>(last.Size, INT32_MAX)));
}

void TMPEGPacketizerStream_MPEGVideo::HandlePicture(int64_t position) {
    uint8_t b[2] = {};
    Peek(position + 4, b, 2);
    const uint8_t type = static_cast<uint8_t>(b[1] >> 3 & 7);
    const bool first = FirstPicture < 0;
    int64_t start = PendingGroupStart >= 0 ? PendingGroupStart : position;
    if (first)
        start = 0; // bytes in front of the first picture belong to it
    CloseLastUnit(start);
    // The first picture's duration is final once the next picture begins.
    if (!first && DisplayBase < 0) {
        const TMPEGPacketizer_AccessUnit* firstUnit = FindUnit(FirstPicture);
        DisplayBase = firstUnit != nullptr ? firstUnit->Fields : 2;
        TimeWaitingUnits();
    }
    TMPEGPacketizer_AccessUnit& unit = NewAccessUnit(start);
    unit.PictureType = type;
    unit.PictureOffset = position;
    unit.GroupStart = PendingGroupStart >= 0 || first;
    unit.TimestampKind = type == 3 ? 1 : 2;
    unit.DecodeField = DecodeFields;
    unit.Fields = 2;
    PendingGroupStart = -1;
    DecodeFields += 2;
    Clock += 1.0L / FrameRate;
    if (first)
        FirstPicture = unit.Sequence;
    CurrentPicture = unit.Sequence;
    CurrentSliceSeen = false;
    CurrentHasScanInfo = false;
    if (type == 3) {
        Display(unit);
    } else {
        if (HeldAnchor >= 0)
            if (TMPEGPacketizer_AccessUnit* anchor = FindUnit(HeldAnchor))
                Display(*anchor);
        HeldAnchor = unit.Sequence;
    }
}

void TMPEGPacketizerStream_MPEGVideo::Display(TMPEGPacketizer_AccessUnit& unit) {
    if (LastDisplayed >= 0)
        DisplayFields += LastDisplayedFields;
    unit.DisplayField = DisplayFields;
    LastDisplayed = unit.Sequence;
    LastDisplayedFields = unit.Fields;
    if (DisplayBase >= 0)
        AssignTimes(unit);
    else
        WaitingForBase.push_back(unit.Sequence);
}

void TMPEGPacketizerStream_MPEGVideo::AssignTimes(TMPEGPacketizer_AccessUnit& unit) {
    unit.PTS = FieldsToTicks(DisplayBase + unit.DisplayField, FrameRateCode, FrameRate);
    unit.DTS = FieldsToTicks(unit.DecodeField, FrameRateCode, FrameRate);
    // A picture is never decoded after it is shown; with repeated fields the two field counts
    // can cross by a field.
    if (unit.DTS > unit.PTS)
        unit.DTS = unit.PTS;
    unit.Timed = true;
}

void TMPEGPacketizerStream_MPEGVideo::TimeWaitingUnits() {
    for (int64_t sequence : WaitingForBase)
        if (TMPEGPacketizer_AccessUnit* unit = FindUnit(sequence))
            AssignTimes(*unit);
    WaitingForBase.clear();
}

void TMPEGPacketizerStream_MPEGVideo::HandleUserData(int64_t position) {
    const int64_t available = QueuedEnd() - position - 4;
    const int32_t size = static_cast<int32_t>(std::min<int64_t>(NeededBytes(position, kUserDataCode, true), available));
    if (size <= 0)
        return;
    const uint8_t* data = At(position + 4);
    TMPEGPacketizer_AccessUnit* unit = FindUnit(CurrentPicture);
    if (unit != nullptr && !CurrentSliceSeen && size >= 14 && data[0] == 0x10 && data[1] == 0x0E) {
        if (unit->PictureType == 1) {
            unit->PrivateOffset = position + 6;
            CurrentHasScanInfo = true;
        }
        return;
    }
    if (RatesSet)
        return;
    int32_t maximum = 0;
    int32_t average = 0;
    ReadVideoUserDataRates(data, size, maximum, average);
    if (maximum > 0) {
        MaximumRate = maximum;
        MaxFromUserData = true;
    }
    if (average > 0) {
        AverageRate = average;
        AvgFromUserData = true;
    }
}

int32_t TMPEGPacketizerStream_MPEGVideo::HandleFirstSlice(int64_t position) {
    CurrentSliceSeen = true;
    TMPEGPacketizer_AccessUnit* unit = FindUnit(CurrentPicture);
    if (unit == nullptr || unit->PictureType != 1 || CurrentHasScanInfo || !Engine.NeedsScanInformation())
        return 0;
    Insert(position, kScanInformationBlock, static_cast<int32_t>(sizeof(kScanInformationBlock)));
    unit->PrivateOffset = position + 6;
    CurrentHasScanInfo = true;
    return static_cast<int32_t>(sizeof(kScanInformationBlock));
}

} // namespace quillset
