// Framing of our own protocol between the scale library and the scale
// emulator (emulator/PROTOCOL.md). Every message is one 16-byte header
// followed by exactly `length` payload bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zalohy::wire {

inline constexpr std::size_t kHeaderSize = 16;
inline constexpr unsigned char kMagic[4] = {'Z', 'S', 'C', 'P'};
inline constexpr std::uint8_t kVersion = 1;

// The largest payload either side accepts: the program handles scale files
// with a signed 32-bit size, and a download adds two marker bytes.
inline constexpr std::uint64_t kMaxPayload = 0x7FFFFFFDu;

enum class FrameType : std::uint8_t {
    Download = 'D',  // request: send me the file of this kind
    Upload = 'U',    // request: store the payload as the file of this kind
    Answer = 'A',    // answer to either request
};

enum class AnswerStatus : std::uint8_t {
    Ok = 0,
    NoSuchFile = 1,          // the scale holds no file of this kind
    BadRequest = 2,          // unknown kind or request type
    StorageFailed = 3,       // the upload could not be stored
    TooLarge = 4,            // the upload is larger than kMaxPayload
    UnsupportedVersion = 5,  // the request's version is not ours
};

struct Header {
    std::uint8_t version = kVersion;
    FrameType type = FrameType::Answer;
    std::uint8_t kind = 0;    // archive member id of the data kind (34, 38, ...)
    std::uint8_t status = 0;  // AnswerStatus in answers, 0 in requests
    std::uint64_t length = 0; // payload bytes that follow the header
};

enum class DecodeResult { Ok, BadMagic, BadVersion, BadType };

void encodeHeader(const Header& header, unsigned char out[kHeaderSize]);
// Checks the magic first, then the version, then the type; `header` is filled
// as far as the bytes could be read (the version even when it is not ours).
DecodeResult decodeHeader(const unsigned char in[kHeaderSize], Header& header);

}  // namespace zalohy::wire
