#include "RunOptions.h"

#include "DataKind.h"
#include "File.h"
#include "ScaleCommand.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

namespace zalohy {

static_assert(kKindWords.size() == kDataKinds.size());

std::string kindsArgument(const KindSet& kinds) {
    std::string text;
    for (bool kind : kinds) text.push_back(kind ? '1' : '0');
    return text;
}

KindSet kindsFromArgument(const std::string& text) {
    KindSet kinds{};
    for (std::size_t i = 0; i < kinds.size() && i < text.size(); ++i) kinds[i] = text[i] == '1';
    return kinds;
}

std::optional<KindSet> kindsOption(const Call& call) {
    const std::optional<std::string> given = call.value("kinds");
    if (!given) return std::nullopt;
    const std::string_view list = *given;
    KindSet kinds{};
    for (std::size_t at = 0;;) {
        const std::size_t comma = list.find(',', at);
        const std::string_view word = list.substr(at, comma == std::string_view::npos ? comma : comma - at);
        const auto found = std::find(kKindWords.begin(), kKindWords.end(), word);
        if (found == kKindWords.end())
            throw UsageError{"neznámý druh dat '" + std::string(word) +
                             "' (druhy: formaty,texty,nazev,presety,plu,image)"};
        kinds[static_cast<std::size_t>(found - kKindWords.begin())] = true;
        if (comma == std::string_view::npos) return kinds;
        at = comma + 1;
    }
}

std::optional<fs::path> backupFirstOption(const Call& call) {
    const std::optional<std::string> folder = call.value("backup-first");
    if (call.has("force") && !folder) throw UsageError{"--force platí jen s --backup-first"};
    if (folder) return absolutePath(*folder);
    return std::nullopt;
}

fs::path absolutePath(const std::string& given) {
    std::error_code ec;
    const fs::path path = fs::absolute(files::toPath(given), ec);
    return ec ? files::toPath(given) : path.lexically_normal();
}

bool enterWorkFolder(const Call& call) {
    const std::optional<std::string> work = call.value("work");
    if (!work) return true;
    std::error_code ec;
    fs::current_path(files::toPath(*work), ec);
    if (ec) complain("nelze pracovat ve složce " + *work + ": " + ec.message(), call.out());
    return !ec;
}

// The scale library beside zaltool (the build tree, the Windows zips), or
// where an installation keeps it with the program.
bool bindLibrary(JobOutput& out) {
    const LibraryBinding beside = ScaleLibrary::bindBesideExecutable();
    if (beside.ok) return true;
    std::string problem = beside.message();
#ifdef ZALOHY_TOOL_TO_LIBRARY
    const LibraryBinding installed = ScaleLibrary::bindNearExecutable(ZALOHY_TOOL_TO_LIBRARY);
    if (installed.ok) return true;
    problem += "; " + installed.message();
#endif
    complain(problem, out);
    return false;
}

}  // namespace zalohy
