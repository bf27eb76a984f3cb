// The backup archive (.zal): a 128-byte header of two words and ten directory
// slots, then the members' bytes back to back. All integers are 32-bit signed
// little-endian on every host. Each member id has a fixed slot (see
// archiveSlotOf); a member can never be replaced or removed once written.
//
// The record owns no open file: every operation opens and closes what it needs.
#pragma once

#include "Report.h"

#include <array>
#include <cstdint>
#include <string>

namespace zalohy {

struct ArchiveSlot {
    std::int32_t id = 0;     // member id; 0 marks an empty slot
    std::int32_t first = 0;  // offset of the member's first byte
    std::int32_t last = 0;   // offset of its last byte, inclusive; first - 1 when empty
};

struct ArchiveHeader {
    std::int32_t word0 = 1;
    std::int32_t word1 = 0;
    std::array<ArchiveSlot, 10> slots{};

    // The slot holding the member of `id` where every reader looks for it:
    // the id's own slot (archiveSlotOf); null when that slot does not hold it.
    const ArchiveSlot* memberOf(std::int32_t id) const;
    bool holds(std::int32_t id) const { return memberOf(id) != nullptr; }
};

inline constexpr std::int32_t kArchiveHeaderSize = 128;
// Offsets are 32-bit signed, so no archive may grow beyond this many bytes.
inline constexpr std::int64_t kMaxArchiveSize = 2147483647;

// The header exactly as stored in the file.
using HeaderBytes = std::array<unsigned char, kArchiveHeaderSize>;
HeaderBytes encodeHeader(const ArchiveHeader& header);
ArchiveHeader decodeHeader(const HeaderBytes& bytes);

// What makes a header unfit for a file of fileLength bytes, or an empty string
// when it is sound: the file holds at least the header, and every used slot
// has first >= 128, last >= first - 1 and last < fileLength.
std::string headerProblem(const ArchiveHeader& header, std::int64_t fileLength);
// What makes two members of a sound header share bytes, or an empty string.
std::string overlapProblem(const ArchiveHeader& header);
// Which slot holds an id that belongs elsewhere (a kind outside its own slot,
// a second copy of an id, any id in slots 6 to 9), or an empty string.
std::string placementProblem(const ArchiveHeader& header);

// The fixed directory slot of each member id the archive knows: formats (34)
// in slot 0, texts (38) in 1, preset keys (41) in 2, shop name (52) in 3, the
// PLU file (25) in 4 and the image file (67) in 5. Slots 6 to 9 stay empty.
// Returns -1 for any other id.
int archiveSlotOf(std::int32_t id);

class BackupArchive {
public:
    // Results of AppendMember.
    static constexpr int kAppended = 1;
    static constexpr int kAlreadyStored = -1;
    static constexpr int kUnknownId = 0;     // nothing appended
    static constexpr int kAppendFailed = -3; // nothing stored, archive unchanged
    // The archive is damaged (see placementProblem): a reader looking in the
    // kind's slot and one taking the first slot with the id would disagree,
    // so nothing is stored and the archive stays unchanged.
    static constexpr int kDamagedArchive = -4;
    // Results of ExtractMember.
    static constexpr int kExtracted = 1;
    static constexpr int kCannotOpen = -1;   // also an unsound archive or unwritable output
    static constexpr int kNoSuchMember = -2;

    // Touches no file. fileName is UTF-8, relative names are taken against
    // the working folder. The container's own messages go to report; with
    // none they are dropped.
    explicit BackupArchive(std::string fileName, Report* report = nullptr);

    // On success ids[i] receives slot i's id. When the archive cannot be
    // opened or its header is unsound, shows "Nepodarilo se otevrit archivni
    // soubor" with the file name as caption and leaves ids untouched.
    // Returns whether ids were written.
    bool ReadDirectory(std::array<std::int32_t, 10>& ids);

    int AppendMember(std::int32_t id, const std::string& dataFileName);
    // How ExtractMember writes its output. A Kept file is on the disk before
    // it takes its name. A WorkingCopy is handed to the scale library at once
    // and deleted after the transfer (kept only to look at when it failed),
    // so it is not synced: a power loss can cost only a file the archive
    // still holds.
    enum class Output { Kept, WorkingCopy };
    int ExtractMember(std::int32_t id, const std::string& outFileName, Output output = Output::Kept);

    const std::string& fileName() const { return fileName_; }
    // Why the last operation failed, in plain English for tools and logs
    // (empty after a success).
    const std::string& lastError() const { return lastError_; }
    // The working copy of the header, as the last operation left it.
    const ArchiveHeader& header() const { return header_; }

private:
    std::string fileName_;
    Report* report_;
    ArchiveHeader header_;
    std::string lastError_;

    void show(const char* text, const std::string& caption) const;
};

}  // namespace zalohy
