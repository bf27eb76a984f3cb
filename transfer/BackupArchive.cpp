#include "BackupArchive.h"

#include "AtomicWrite.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace zalohy {

using files::File;

static constexpr const char* kReadDirectoryText = "Nepodarilo se otevrit archivni soubor";
static constexpr const char* kExtractText = "Nepodarilo se otevrit soubor";

static void putInt32(unsigned char* out, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(u >> (8 * i));
}

static std::int32_t getInt32(const unsigned char* in) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(in[i]) << (8 * i);
    return static_cast<std::int32_t>(u);
}

HeaderBytes encodeHeader(const ArchiveHeader& header) {
    HeaderBytes bytes{};
    putInt32(&bytes[0], header.word0);
    putInt32(&bytes[4], header.word1);
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
        unsigned char* slot = &bytes[8 + 12 * i];
        putInt32(slot, header.slots[i].id);
        putInt32(slot + 4, header.slots[i].first);
        putInt32(slot + 8, header.slots[i].last);
    }
    return bytes;
}

ArchiveHeader decodeHeader(const HeaderBytes& bytes) {
    ArchiveHeader header;
    header.word0 = getInt32(&bytes[0]);
    header.word1 = getInt32(&bytes[4]);
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
        const unsigned char* slot = &bytes[8 + 12 * i];
        header.slots[i] = {getInt32(slot), getInt32(slot + 4), getInt32(slot + 8)};
    }
    return header;
}

std::string headerProblem(const ArchiveHeader& header, std::int64_t fileLength) {
    if (fileLength < kArchiveHeaderSize) return "kratší než 128bajtová hlavička";
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
        const ArchiveSlot& s = header.slots[i];
        if (s.id == 0) continue;
        const std::int64_t first = s.first, last = s.last;
        const std::string where = "pozice " + std::to_string(i) + " (id " + std::to_string(s.id) + ")";
        if (first < kArchiveHeaderSize) return where + " začíná uvnitř hlavičky";
        if (last < first - 1) return where + " končí dřív, než začíná";
        if (last >= fileLength) return where + " sahá za konec souboru";
    }
    return {};
}

std::string overlapProblem(const ArchiveHeader& header) {
    std::vector<std::size_t> used;
    for (std::size_t i = 0; i < header.slots.size(); ++i)
        if (header.slots[i].id != 0 && header.slots[i].last >= header.slots[i].first) used.push_back(i);
    std::sort(used.begin(), used.end(),
              [&](std::size_t a, std::size_t b) { return header.slots[a].first < header.slots[b].first; });
    for (std::size_t k = 1; k < used.size(); ++k)
        if (header.slots[used[k]].first <= header.slots[used[k - 1]].last)
            return "pozice " + std::to_string(used[k - 1]) + " a " + std::to_string(used[k]) + " se překrývají";
    return {};
}

std::string placementProblem(const ArchiveHeader& header) {
    for (std::size_t i = 0; i < header.slots.size(); ++i) {
        const std::int32_t id = header.slots[i].id;
        if (id != 0 && archiveSlotOf(id) != static_cast<int>(i))
            return "pozice " + std::to_string(i) + " obsahuje id " + std::to_string(id);
    }
    return {};
}

// Reads the header of an open archive and checks it against the file's
// length. On failure `problem` says why and `header` is not touched.
static bool loadHeader(File& file, ArchiveHeader& header, std::int64_t& length, std::string& problem) {
    length = file.length();
    HeaderBytes bytes{};
    if (length < kArchiveHeaderSize || !file.seek(0) || file.read(bytes.data(), bytes.size()) != bytes.size()) {
        problem = "není archiv: kratší než 128bajtová hlavička";
        return false;
    }
    const ArchiveHeader read = decodeHeader(bytes);
    problem = headerProblem(read, length);
    if (!problem.empty()) {
        problem = "není platný archiv: " + problem;
        return false;
    }
    header = read;
    return true;
}

int archiveSlotOf(std::int32_t id) {
    static constexpr std::int32_t kSlotIds[] = {34, 38, 41, 52, 25, 67};
    for (int slot = 0; slot < static_cast<int>(std::size(kSlotIds)); ++slot)
        if (kSlotIds[slot] == id) return slot;
    return -1;
}

const ArchiveSlot* ArchiveHeader::memberOf(std::int32_t id) const {
    const int slot = archiveSlotOf(id);
    if (slot < 0 || slots[static_cast<std::size_t>(slot)].id != id) return nullptr;
    return &slots[static_cast<std::size_t>(slot)];
}

BackupArchive::BackupArchive(std::string fileName, Report* report)
    : fileName_(std::move(fileName)), report_(report) {}

void BackupArchive::show(const char* text, const std::string& caption) const {
    if (report_) report_->message(text, caption);
}

bool BackupArchive::ReadDirectory(std::array<std::int32_t, 10>& ids) {
    lastError_.clear();
    File file;
    ArchiveHeader read;
    std::int64_t length = 0;
    if (!file.open(files::toPath(fileName_), "rb"))
        lastError_ = fileName_ + " nelze otevřít pro čtení";
    else if (!loadHeader(file, read, length, lastError_))
        lastError_ = fileName_ + ": " + lastError_;
    if (!lastError_.empty()) {
        show(kReadDirectoryText, fileName_);
        return false;
    }
    header_ = read;
    for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = header_.slots[i].id;
    return true;
}

int BackupArchive::AppendMember(std::int32_t id, const std::string& dataFileName) {
    lastError_.clear();
    const fs::path path = files::toPath(fileName_);
    File archive;
    std::int64_t oldLength = 0;
    bool created = false;
    std::error_code ec;
    if (archive.open(path, "r+b")) {
        ArchiveHeader read;
        if (!loadHeader(archive, read, oldLength, lastError_)) {
            lastError_ = fileName_ + ": " + lastError_;
            return kAppendFailed;
        }
        header_ = read;
        if (const std::string problem = placementProblem(read); !problem.empty()) {
            lastError_ = fileName_ + ": poškozený archiv: " + problem;
            return kDamagedArchive;
        }
    } else {
        // Only a missing archive is created: an existing one that cannot be
        // opened (read-only, locked) must stay exactly as it is.
        if (fs::exists(path, ec) || !archive.open(path, "w+bx")) {
            lastError_ = fileName_ + " nelze otevřít ani vytvořit";
            return kAppendFailed;
        }
        created = true;
        header_ = ArchiveHeader{};
        const HeaderBytes fresh = encodeHeader(header_);
        if (!archive.write(fresh.data(), fresh.size()) || !archive.seek(0)) {
            archive.close();
            files::removeQuietly(path);
            lastError_ = "nelze zapsat " + fileName_;
            return kAppendFailed;
        }
        oldLength = kArchiveHeaderSize;
    }

    const int slotIndex = archiveSlotOf(id);
    if (slotIndex < 0) {
        // A missing archive is still created, header only.
        if (archive.close()) return kUnknownId;
        if (created) files::removeQuietly(path);
        lastError_ = "nelze zapsat " + fileName_;
        return kAppendFailed;
    }
    ArchiveSlot& slot = header_.slots[static_cast<std::size_t>(slotIndex)];
    if (slot.id == id) return kAlreadyStored;

    const HeaderBytes oldHeader = encodeHeader(header_);
    File data;
    bool headerTouched = false;
    // Puts the archive back as it was before this call.
    auto fail = [&](std::string why) {
        archive.close();
        data.close();
        if (created) {
            files::removeQuietly(path);
        } else {
            std::error_code resizeError;
            fs::resize_file(path, static_cast<std::uintmax_t>(oldLength), resizeError);
            File restore;
            if (headerTouched && restore.open(path, "r+b")) restore.write(oldHeader.data(), oldHeader.size());
        }
        lastError_ = std::move(why);
        return kAppendFailed;
    };

    const fs::path dataPath = files::toPath(dataFileName);
    // The archive copied into itself would grow while it is read.
    if (fs::equivalent(dataPath, path, ec)) return fail(fileName_ + " nelze připojit sám k sobě");
    if (!data.open(dataPath, "rb")) return fail("nelze otevřít " + dataFileName);
    const std::int64_t room = kMaxArchiveSize - oldLength;
    const std::int64_t dataLength = data.length();
    if (dataLength > room) return fail("člen by zvětšil archiv nad 2147483647 bajtů");
    if (dataLength >= 0 && !data.seek(0)) return fail("nelze číst " + dataFileName);
    if (!archive.seekEnd()) return fail("nelze zapsat " + fileName_);

    // Copy one byte more than fits, so a file that grew since it was measured
    // is still caught.
    const files::CopyResult copy = files::copyBytes(data, archive, room + 1);
    if (copy.readError) return fail("nelze číst " + dataFileName);
    if (copy.writeError) return fail("nelze zapsat " + fileName_);
    if (copy.copied > room) return fail("člen by zvětšil archiv nad 2147483647 bajtů");

    ArchiveSlot stored{id, static_cast<std::int32_t>(oldLength), static_cast<std::int32_t>(oldLength + copy.copied - 1)};
    ArchiveHeader updated = header_;
    updated.slots[static_cast<std::size_t>(slotIndex)] = stored;
    const HeaderBytes newHeader = encodeHeader(updated);
    // The directory is rewritten only once every byte of the member is on
    // disk, so an interrupted append or a power loss leaves the old directory
    // in place; the new one is on disk too before the call reports success.
    if (!archive.sync()) return fail("nelze zapsat " + fileName_);
    headerTouched = true;
    if (!archive.seek(0) || !archive.write(newHeader.data(), newHeader.size()) || !archive.sync() ||
        !archive.close())
        return fail("nelze zapsat " + fileName_);
    if (created) files::syncFolder(path.parent_path());
    data.close();
    slot = stored;
    return kAppended;
}

int BackupArchive::ExtractMember(std::int32_t id, const std::string& outFileName, Output output) {
    lastError_.clear();
    auto fail = [&](std::string why) {
        lastError_ = std::move(why);
        show(kExtractText, std::string());
        return kCannotOpen;
    };
    File archive;
    ArchiveHeader read;
    std::int64_t length = 0;
    std::string problem;
    // Opened for reading and writing although it is only read: a read-only
    // archive is refused, as the program always did.
    if (!archive.open(files::toPath(fileName_), "r+b"))
        return fail(fileName_ + " nelze otevřít pro čtení a zápis");
    if (!loadHeader(archive, read, length, problem)) return fail(fileName_ + ": " + problem);
    header_ = read;

    const auto found = std::find_if(header_.slots.begin(), header_.slots.end(),
                                    [id](const ArchiveSlot& s) { return id != 0 && s.id == id; });
    if (found == header_.slots.end()) {
        lastError_ = fileName_ + " neobsahuje člen " + std::to_string(id);
        return kNoSuchMember;
    }
    const std::int64_t size = static_cast<std::int64_t>(found->last) - found->first + 1;
    if (!archive.seek(found->first)) return fail("nelze číst " + fileName_);

    const fs::path outPath = files::toPath(outFileName);
    // Renaming the member over the archive would destroy the archive.
    std::error_code ec;
    if (fs::equivalent(outPath, files::toPath(fileName_), ec)) return fail(outFileName + " je sám archiv");
    // A kept file is on the disk before it takes the output's name, so a
    // power loss never leaves an empty or partial file under that name.
    files::CopyResult copy;
    const files::WriteResult written = files::writeFileAtomically(
        outPath,
        [&](File& out) {
            copy = files::copyBytes(archive, out, size);
            return !copy.readError && !copy.writeError && copy.copied == size;
        },
        {.durable = output == Output::Kept});
    archive.close();
    if (written == files::WriteResult::NotCreated) return fail("nelze vytvořit " + outFileName);
    if (copy.readError || copy.copied != size) return fail("nelze číst " + fileName_);
    if (written != files::WriteResult::Written) return fail("nelze zapsat " + outFileName);
    return kExtracted;
}

}  // namespace zalohy
