#include "Wire.h"

#include <cstring>

namespace zalohy::wire {

void encodeHeader(const Header& header, unsigned char out[kHeaderSize]) {
    std::memcpy(out, kMagic, sizeof kMagic);
    out[4] = header.version;
    out[5] = static_cast<unsigned char>(header.type);
    out[6] = header.kind;
    out[7] = header.status;
    for (int i = 0; i < 8; ++i)
        out[8 + i] = static_cast<unsigned char>(header.length >> (8 * (7 - i)));
}

DecodeResult decodeHeader(const unsigned char in[kHeaderSize], Header& header) {
    if (std::memcmp(in, kMagic, sizeof kMagic) != 0) return DecodeResult::BadMagic;
    header.version = in[4];
    header.type = static_cast<FrameType>(in[5]);
    header.kind = in[6];
    header.status = in[7];
    header.length = 0;
    for (int i = 0; i < 8; ++i) header.length = (header.length << 8) | in[8 + i];
    if (header.version != kVersion) return DecodeResult::BadVersion;
    switch (header.type) {
    case FrameType::Download:
    case FrameType::Upload:
    case FrameType::Answer:
        return DecodeResult::Ok;
    }
    return DecodeResult::BadType;
}

}  // namespace zalohy::wire
