// The archive container against arbitrary files: reading the directory,
// extracting every id and appending one member are checked against a
// reference reading of the format written here independently.
//
// Input: one selector byte, one length byte, that many bytes of member data,
// then the archive file's bytes.
#include "BackupArchive.h"
#include "DataKind.h"
#include "FuzzSupport.h"

#include <array>
#include <optional>

using namespace zalohy;
using namespace zalohy::fuzz;
namespace fs = std::filesystem;

namespace {

const std::int32_t kSlotIds[] = {34, 38, 41, 52, 25, 67};

// The fixed slot of each member id, as the format has it; -1 for any other id.
int slotOf(std::int32_t id) {
    for (int slot = 0; slot < 6; ++slot)
        if (kSlotIds[slot] == id) return slot;
    return -1;
}

std::int64_t le32(const std::string& bytes, std::size_t at) {
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i) u = (u << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(u);
}

void putLe32(std::string& bytes, std::size_t at, std::int64_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

struct Slot {
    std::int64_t id, first, last;
};

// The directory of a sound archive, or nothing: the file holds the header and
// every used slot lies after it and inside the file.
std::optional<std::array<Slot, 10>> soundDirectory(const std::string& file) {
    if (file.size() < 128) return std::nullopt;
    std::array<Slot, 10> slots{};
    for (std::size_t i = 0; i < 10; ++i) {
        const std::size_t at = 8 + 12 * i;
        slots[i] = {le32(file, at), le32(file, at + 4), le32(file, at + 8)};
        const Slot& s = slots[i];
        if (s.id == 0) continue;
        if (s.first < 128 || s.last < s.first - 1 || s.last >= static_cast<std::int64_t>(file.size()))
            return std::nullopt;
    }
    return slots;
}

// A sound directory is damaged when a slot holds any id but the one fixed for
// it (slots 6 to 9 hold none): a kind in a foreign slot, or an id twice.
bool damaged(const std::array<Slot, 10>& slots) {
    for (std::size_t i = 0; i < 10; ++i)
        if (slots[i].id != 0 && (i >= 6 || slots[i].id != kSlotIds[i])) return true;
    return false;
}

const std::array<std::int32_t, 8> kAppendIds = {34, 38, 52, 41, 25, 67, 0, 99};

void checkExtractions(const std::string& archive, const std::optional<std::array<Slot, 10>>& directory, bool plantTemp) {
    std::set<std::int32_t> ids = {0, 34, 38, 52, 41, 25, 67, 1, -1};
    if (directory)
        for (const Slot& s : *directory) ids.insert(static_cast<std::int32_t>(s.id));
    for (const std::int32_t id : ids) {
        if (plantTemp) writeBytes("out.dat.0123abcd.tmp", "left by a killed run");
        BackupArchive record("a.zal");
        const int result = record.ExtractMember(id, "out.dat");
        std::optional<Slot> member;
        if (directory && id != 0)
            for (const Slot& s : *directory)
                if (s.id == id) {
                    member = s;
                    break;
                }
        const int expected = !directory ? BackupArchive::kCannotOpen : member ? BackupArchive::kExtracted
                                                                               : BackupArchive::kNoSuchMember;
        require(result == expected, "extract " + std::to_string(id) + " gave " + std::to_string(result) +
                                        " instead of " + std::to_string(expected));
        require(readBytes("a.zal") == archive, "extraction changed the archive");
        if (result == BackupArchive::kExtracted) {
            const auto first = static_cast<std::size_t>(member->first);
            const auto length = static_cast<std::size_t>(member->last - member->first + 1);
            require(readBytes("out.dat") == archive.substr(first, length), "extracted bytes differ from the member");
            require(!fs::exists("out.dat.0123abcd.tmp"), "a killed run's temporary file was left");
            fs::remove("out.dat");
        } else {
            require(!fs::exists("out.dat"), "a failed extraction left an output file");
        }
        fs::remove("out.dat.0123abcd.tmp");
        require(folderNames() == std::set<std::string>{"a.zal", "d.dat"}, "an extraction left a file behind");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    enterCleanFolder();
    Input input(bytes, size);
    const std::uint8_t selector = input.byte();
    const std::string data(input.take(input.byte()));
    const bool missingArchive = selector & 0x10;
    const std::string archive = missingArchive ? std::string() : std::string(input.rest());
    if (!missingArchive) writeBytes("a.zal", archive);
    writeBytes("d.dat", data);

    const auto directory = missingArchive ? std::nullopt : soundDirectory(archive);
    if (!missingArchive) {
        std::array<std::int32_t, 10> ids;
        ids.fill(-7);
        BackupArchive record("a.zal");
        const bool read = record.ReadDirectory(ids);
        require(read == directory.has_value(), "directory read of an archive judged wrongly");
        for (std::size_t i = 0; i < 10; ++i)
            require(ids[i] == (directory ? (*directory)[i].id : -7), "directory ids differ from the file's slots");
        checkExtractions(archive, directory, selector & 0x20);

        // The archive itself as output, by its name or through a link, is refused.
        if (selector & 0x40) {
            BackupArchive record2("a.zal");
            const std::int32_t id = directory && (*directory)[0].id ? static_cast<std::int32_t>((*directory)[0].id) : 34;
            require(record2.ExtractMember(id, "a.zal") != BackupArchive::kExtracted, "extracted over the archive");
            fs::create_symlink("a.zal", "alias.zal");
            require(record2.ExtractMember(id, "alias.zal") != BackupArchive::kExtracted,
                    "extracted over the archive through a link");
            fs::remove("alias.zal");
            require(readBytes("a.zal") == archive, "extraction onto the archive changed it");
        }
    }

    // Append one member and compare with the file the format prescribes.
    const std::int32_t id = kAppendIds[selector & 7];
    std::string before = archive;
    std::optional<std::array<Slot, 10>> base = directory;
    if (missingArchive) {
        before = std::string(128, '\0');
        putLe32(before, 0, 1);
        base = soundDirectory(before);
    }
    const int slot = slotOf(id);
    int expected = BackupArchive::kAppendFailed;
    std::string after = missingArchive ? before : archive;
    if (base && damaged(*base)) {
        expected = BackupArchive::kDamagedArchive;
    } else if (base && slot < 0) {
        expected = BackupArchive::kUnknownId;
    } else if (base && (*base)[static_cast<std::size_t>(slot)].id == id) {
        expected = BackupArchive::kAlreadyStored;
    } else if (base) {
        expected = BackupArchive::kAppended;
        const std::size_t at = 8 + 12 * static_cast<std::size_t>(slot);
        const auto first = static_cast<std::int64_t>(before.size());
        after = before + data;
        putLe32(after, at, id);
        putLe32(after, at + 4, first);
        putLe32(after, at + 8, first + static_cast<std::int64_t>(data.size()) - 1);
    }
    BackupArchive record("a.zal");
    const int result = record.AppendMember(id, "d.dat");
    require(result == expected, "append of " + std::to_string(id) + " gave " + std::to_string(result) +
                                    " instead of " + std::to_string(expected));
    if (missingArchive && result != BackupArchive::kAppended && result != BackupArchive::kUnknownId) {
        require(!fs::exists("a.zal"), "a failed append left a new archive");
    } else {
        require(readBytes("a.zal") == after, result == BackupArchive::kAppended
                                                 ? "append changed more than its slot and the new bytes"
                                                 : "a failed append changed the archive");
    }
    require(readBytes("d.dat") == data, "append changed its data file");
    if (result == BackupArchive::kAppended) {
        BackupArchive again("a.zal");
        require(again.ExtractMember(id, "back.dat") == BackupArchive::kExtracted, "appended member cannot be read");
        require(readBytes("back.dat") == data, "appended member reads back differently");
        require(again.AppendMember(id, "d.dat") == BackupArchive::kAlreadyStored, "second append of one kind");
        require(readBytes("a.zal") == after, "refused second append changed the archive");
    }
    return 0;
}
