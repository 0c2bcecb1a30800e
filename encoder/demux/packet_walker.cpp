#include "encoder/demux/packet_walker.h"

#include "encoder/mux/pack_headers.h"

namespace quillset {

namespace {

// Stream ids of ISO/IEC 13818-1 whose packets carry no PES header fields after the length.
bool HasNoPESHeader(uint8_t id) {
    return id == 0xBC || id == 0xBE || id == 0xBF || id == 0xF0 || id == 0xF1 || id == 0xF2 || id == 0xF8 ||
           id == 0xFF;
}

// Zero bytes allowed between an end code and the pack that follows it.
constexpr int32_t kEndCodeGap = 4096;

} // namespace

void TMPEGPacketWalker::Restart(int64_t position, int32_t version) {
    Stream.Seek(position, soFromBeginning);
    Position = position;
    PositionKnown = true;
    Version = version;
    Failed = false;
    Ended = false;
}

bool TMPEGPacketWalker::Fail() {
    Failed = true;
    Ended = true;
    return false;
}

bool TMPEGPacketWalker::ReadBytes(uint8_t* data, int32_t count) {
    int32_t got = 0;
    while (got < count) {
        const int32_t n = Stream.Read(data + got, count - got);
        if (n <= 0)
            return false;
        got += n;
    }
    Position += count;
    return true;
}

bool TMPEGPacketWalker::Skip(int64_t count) {
    if (count <= 0)
        return true;
    const int64_t target = Position + count;
    if (Stream.Seek(target, soFromBeginning) != target)
        return false;
    Position = target;
    return true;
}

bool TMPEGPacketWalker::NextStartCode(uint8_t& code) {
    if (!PositionKnown) {
        Position = Stream.Seek(0, soFromCurrent);
        PositionKnown = true;
    }
    uint8_t b[4];
    if (!ReadBytes(b, 4))
        return false;
    while (!(b[0] == 0 && b[1] == 0 && b[2] == 1)) {
        b[0] = b[1];
        b[1] = b[2];
        b[2] = b[3];
        if (!ReadBytes(b + 3, 1))
            return false;
    }
    code = b[3];
    return true;
}

bool TMPEGPacketWalker::PacksFollow() {
    const int64_t resume = Position;
    uint8_t b = 0;
    int32_t zeros = 0;
    while (ReadBytes(&b, 1) && b == 0 && zeros < kEndCodeGap)
        ++zeros;
    uint8_t rest[3] = {};
    const bool follow = b == 1 && zeros >= 2 && ReadBytes(rest, 1) && rest[0] == 0xBA;
    Stream.Seek(resume, soFromBeginning);
    Position = resume;
    return follow;
}

bool TMPEGPacketWalker::ReadMPEG1Header(int32_t& left) {
    uint8_t b = 0;
    // Stuffing.
    do {
        if (left <= 0)
            return true; // nothing but stuffing
        if (!ReadBytes(&b, 1))
            return Fail();
        --left;
    } while (b == 0xFF);
    if ((b & 0xC0) == 0x40) { // STD buffer field
        uint8_t skip = 0;
        if (left < 2 || !ReadBytes(&skip, 1) || !ReadBytes(&b, 1))
            return Fail();
        left -= 2;
    }
    if ((b & 0xF0) == 0x20 || (b & 0xF0) == 0x30) {
        const int32_t more = (b & 0xF0) == 0x20 ? 4 : 9;
        uint8_t t[10];
        t[0] = b;
        if (left < more || !ReadBytes(t + 1, more))
            return Fail();
        left -= more;
        PTS = ReadTimestamp(t);
        if (more == 9)
            DTS = ReadTimestamp(t + 5);
        return true;
    }
    if (b != 0x0F)
        return Fail();
    return true;
}

bool TMPEGPacketWalker::ReadMPEG2Header(int32_t& left) {
    uint8_t h[3];
    if (left < 3 || !ReadBytes(h, 3))
        return Fail();
    left -= 3;
    if ((h[0] & 0xC0) != 0x80)
        return Fail();
    int32_t headerData = h[2];
    if (headerData > left)
        return Fail();
    const int32_t flags = h[1] >> 6;
    uint8_t t[10];
    if (flags == 2 || flags == 3) {
        const int32_t count = flags == 2 ? 5 : 10;
        if (headerData < count || !ReadBytes(t, count))
            return Fail();
        PTS = ReadTimestamp(t);
        if (flags == 3)
            DTS = ReadTimestamp(t + 5);
        headerData -= count;
        left -= count;
    }
    if (!Skip(headerData))
        return Fail();
    left -= headerData;
    return true;
}

TMPEGPacketWalker::TEvent TMPEGPacketWalker::Next() {
    while (!Ended) {
        uint8_t code = 0;
        if (!NextStartCode(code)) {
            Ended = true;
            break;
        }
        if (code == 0xBA) {
            uint8_t b = 0;
            if (!ReadBytes(&b, 1)) {
                Ended = true;
                break;
            }
            if ((b & 0xC0) == 0x40) {
                Version = 2;
                if (!Skip(9)) {
                    Ended = true;
                    break;
                }
            } else if (b >= 0x20) {
                Version = 1;
                if (!Skip(7)) {
                    Ended = true;
                    break;
                }
            }
            continue;
        }
        if (code == 0xB9) {
            if (PacksFollow())
                continue;
            Ended = true;
            break;
        }
        uint8_t lengthBytes[2];
        if (code < 0xBB) {
            Fail();
            break;
        }
        if (!ReadBytes(lengthBytes, 2)) {
            Ended = true;
            break;
        }
        int32_t left = lengthBytes[0] << 8 | lengthBytes[1];
        if (code == 0xBB) {
            SystemHeader.resize(static_cast<size_t>(left));
            if (!ReadBytes(SystemHeader.data(), left)) {
                Ended = true;
                break;
            }
            return Event_SystemHeader;
        }
        StreamId = code;
        PacketPosition = Position - 6;
        PTS = -1;
        DTS = -1;
        if (Version == 2) {
            if (!HasNoPESHeader(code) && !ReadMPEG2Header(left))
                break;
        } else if (code != 0xBF) {
            if (!ReadMPEG1Header(left))
                break;
        }
        if (left <= 0)
            continue;
        PayloadPosition = Position;
        Payload.resize(static_cast<size_t>(left));
        if (!ReadBytes(Payload.data(), left)) {
            Fail();
            break;
        }
        return Event_Packet;
    }
    return Event_End;
}

} // namespace quillset
