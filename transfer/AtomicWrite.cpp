#include "AtomicWrite.h"

#include <system_error>

namespace fs = std::filesystem;

namespace zalohy::files {

namespace {

constexpr std::size_t kTempDigits = 8;
constexpr std::string_view kTempSuffix = ".tmp";

// Temporary files of `target` that a killed run left behind: files or links,
// never folders, and never one that a running job holds.
void removeStaleTemps(const fs::path& folder, const std::string& base) {
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        if (!isTempNameOf(toUtf8(it->path().filename()), base)) continue;
        std::error_code statusError;
        const fs::file_status st = fs::symlink_status(it->path(), statusError);
        if (!statusError && (fs::is_regular_file(st) || fs::is_symlink(st))) platform::removeUnlessHeld(it->path());
    }
}

// Whether a file may take the name `target`: nothing is there, or a regular
// file, or a symbolic link when links are not refused (the link itself is
// replaced). A folder, a device, a FIFO or a socket never is.
bool mayReplace(const fs::path& target, bool refuseLink) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(target, ec);
    if (ec || !fs::exists(st) || fs::is_regular_file(st)) return true;
    return fs::is_symlink(st) && !refuseLink;
}

}  // namespace

bool isTempNameOf(const std::string& name, const std::string& targetName) {
    if (name.size() != targetName.size() + 1 + kTempDigits + kTempSuffix.size()) return false;
    if (name.compare(0, targetName.size(), targetName) != 0 || name[targetName.size()] != '.') return false;
    if (name.compare(name.size() - kTempSuffix.size(), kTempSuffix.size(), kTempSuffix) != 0) return false;
    for (std::size_t i = targetName.size() + 1; i < targetName.size() + 1 + kTempDigits; ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'f'))) return false;
    return true;
}

// The temporary file itself, held and open for writing. Nothing when none can
// be made or `target` is read-only.
static std::optional<fs::path> createTempBeside(const fs::path& target, File& file) {
    if (isReadOnly(target)) return std::nullopt;
    const fs::path folder = target.parent_path();
    const std::string base = toUtf8(target.filename());
    removeStaleTemps(folder, base);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const fs::path candidate =
            folder / toPath(base + "." + platform::randomHex(kTempDigits) + std::string(kTempSuffix));
        // Created exclusively: another file is never taken over.
        if (std::FILE* held = platform::createHeldFile(candidate)) {
            file = File(held);
            return candidate;
        }
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec))) return std::nullopt;  // the folder is not writable
    }
    return std::nullopt;
}

bool renameInto(const fs::path& from, const fs::path& to, Replace replace, bool durable) {
    if (isReadOnly(to)) return false;
    if (replace == Replace::No) {
        if (!platform::renameNoReplace(from, to)) return false;
    } else {
        std::error_code ec;
        fs::rename(from, to, ec);
        if (ec) return false;
    }
    if (durable) platform::syncFolder(to.parent_path());
    return true;
}

WriteResult writeFileAtomically(const fs::path& target, const FileWriter& write, WriteOptions options) {
    if (options.replace == Replace::No) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(target, ec))) return WriteResult::NotPlaced;
    }
    if (!mayReplace(target, options.refuseLink)) return WriteResult::NotAFile;
    File out;
    const std::optional<fs::path> temp = createTempBeside(target, out);
    if (!temp) return WriteResult::NotCreated;
    if (options.keepPermissions) {
        // Set before any byte is in the file.
        std::error_code ec;
        const fs::file_status old = fs::status(target, ec);
        if (!ec && fs::exists(old)) fs::permissions(*temp, old.permissions(), ec);
    }
    const bool written = write(out) && (options.durable ? out.sync() : out.flush());
    // Looked at again, as writing may have taken long. Renamed while still
    // held, so no sweep takes it; only then let go.
    const bool replaceable = !written || mayReplace(target, options.refuseLink);
    const bool placed = written && replaceable && renameInto(*temp, target, options.replace, options.durable);
    out.close();
    if (placed) return WriteResult::Written;
    removeQuietly(*temp);
    return !written ? WriteResult::NotWritten : replaceable ? WriteResult::NotPlaced : WriteResult::NotAFile;
}

WriteResult writeFileAtomically(const fs::path& target, std::string_view bytes, WriteOptions options) {
    return writeFileAtomically(target, [bytes](File& out) { return out.write(bytes.data(), bytes.size()); }, options);
}

std::optional<fs::path> temporaryNameBeside(const fs::path& target) {
    File reserved;
    std::optional<fs::path> temp = createTempBeside(target, reserved);
    if (!temp) return std::nullopt;
    reserved.close();
    removeQuietly(*temp);  // only the name is kept
    return temp;
}

bool placeFile(const fs::path& finished, const fs::path& target, WriteOptions options) {
    bool ok = true;
    if (options.durable) {
        File file;
        ok = file.open(finished, "r+b") && file.sync() && file.close();
    }
    if (ok && options.keepPermissions) {
        std::error_code ec;
        const fs::file_status old = fs::status(target, ec);
        if (!ec && fs::exists(old)) fs::permissions(finished, old.permissions(), ec);
    }
    ok = ok && mayReplace(target, options.refuseLink) && renameInto(finished, target, options.replace, options.durable);
    if (!ok) removeQuietly(finished);
    return ok;
}

}  // namespace zalohy::files
