// scale_run_probe: the steps of the program's backup and send runs, without
// windows, on the scale library beside this program. Built for Linux and for
// Windows, so the same scale data backed up by both builds can be compared
// byte for byte (end_to_end.sh).
//
//   scale_run_probe backup ADDRESS ARCHIVE   every kind, in table order
//   scale_run_probe send ARCHIVE ADDRESS     every member the archive holds
//
// Works in the current folder, like the program. Exit status 0 when every
// step succeeded; otherwise 1 and one line on stderr naming the step.
#include "BackupArchive.h"
#include "DataKind.h"
#include "ScaleCommand.h"
#include "TrimDownloadedFile.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

using namespace zalohy;

namespace {

int fail(const std::string& what) {
    std::fprintf(stderr, "scale_run_probe: %s\n", what.c_str());
    return 1;
}

// The trimming's lines go to stdout, its messages to stderr.
class Lines : public Report {
public:
    void message(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    void line(const std::string& text) override { std::printf("%s\n", text.c_str()); }
};

// Download, rename to the upload name, trim, store, remove: the backup run's
// order for each kind.
int backup(const std::string& address, const std::string& archiveName) {
    BackupArchive archive(archiveName);
    for (const DataKind& kind : kDataKinds) {
        const std::string downloaded = scaleFileName(address, kind.downloadedSuffix);
        const std::string upload = scaleFileName(address, kind.uploadSuffix);
        if (const int status = RunScaleCommand(scaleCommandLine(kind.downloadWord, address)); status != 0)
            return fail(std::string("download of ") + kind.name + ": status " + std::to_string(status));
        std::error_code ec;
        std::filesystem::rename(downloaded, upload, ec);
        if (ec) return fail("cannot rename " + downloaded);
        Lines report;
        bool trimmed = true;
        if (TrimDownloadedFile(upload, report, trimmed) != 0 || !trimmed) return fail("cannot trim " + upload);
        if (archive.AppendMember(kind.id, upload) != BackupArchive::kAppended) return fail(archive.lastError());
        std::filesystem::remove(upload, ec);
    }
    return 0;
}

// Extract each member to its upload name, send it, remove it.
int send(const std::string& archiveName, const std::string& address) {
    BackupArchive archive(archiveName);
    std::array<std::int32_t, 10> ids{};
    if (!archive.ReadDirectory(ids)) return fail(archive.lastError());
    for (const DataKind& kind : kDataKinds) {
        const std::string upload = scaleFileName(address, kind.uploadSuffix);
        const int extracted = archive.ExtractMember(kind.id, upload);
        if (extracted == BackupArchive::kNoSuchMember) continue;
        if (extracted != BackupArchive::kExtracted) return fail(archive.lastError());
        const int status = RunScaleCommand(scaleCommandLine(kind.uploadWord, address));
        std::error_code ec;
        std::filesystem::remove(upload, ec);
        if (status != 0) return fail(std::string("upload of ") + kind.name + ": status " + std::to_string(status));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 4 ? argv[1] : "";
    if (command != "backup" && command != "send")
        return fail("usage: scale_run_probe backup ADDRESS ARCHIVE | send ARCHIVE ADDRESS");
    const LibraryBinding binding = ScaleLibrary::bindBesideExecutable();
    if (!binding.ok) return fail(binding.message());
    return command == "backup" ? backup(argv[2], argv[3]) : send(argv[2], argv[3]);
}
