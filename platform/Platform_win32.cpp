// The platform layer on Windows.
#include "Platform.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#include <shellapi.h>

namespace fs = std::filesystem;

namespace zalohy::platform {

namespace {

std::string utf8Of(const wchar_t* text, int length) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0u, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring wideOf(const std::string& utf8) { return pathFromUtf8(utf8).wstring(); }

HANDLE handleOf(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

// The system's text for an error code in the user's language, as UTF-8. The
// text may hold inserts such as "%1" ("Bad EXE format for %1."), which
// FormatMessage leaves as they are: %1 is the file, the others go.
std::string windowsErrorText(DWORD code, const std::string& file) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const std::string raw = n ? utf8Of(text, static_cast<int>(n)) : std::string();
    if (text) LocalFree(text);
    std::string reason;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '%' && i + 1 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '9') {
            if (raw[i + 1] == '1' && (i + 2 >= raw.size() || raw[i + 2] < '0' || raw[i + 2] > '9')) reason += file;
            while (i + 1 < raw.size() && raw[i + 1] >= '0' && raw[i + 1] <= '9') ++i;
            continue;
        }
        reason += raw[i];
    }
    while (!reason.empty() && std::isspace(static_cast<unsigned char>(reason.back()))) reason.pop_back();
    if (reason.empty()) reason = "Chyba Windows " + std::to_string(code) + ".";
    return reason;
}

// One argument quoted the way CommandLineToArgvW reads it back.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    for (auto it = arg.begin();; ++it) {
        std::size_t slashes = 0;
        while (it != arg.end() && *it == L'\\') ++it, ++slashes;
        if (it == arg.end()) {
            out.append(slashes * 2, L'\\');
            break;
        }
        if (*it == L'"') {
            out.append(slashes * 2 + 1, L'\\');
        } else {
            out.append(slashes, L'\\');
        }
        out.push_back(*it);
    }
    return out + L"\"";
}

}  // namespace

fs::path pathFromUtf8(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::FILE* openFile(const fs::path& path, const char* mode) {
    const std::string m(mode);
    if (m.find('x') != std::string::npos) {
        // Not every Windows C runtime knows fopen's "x": create exclusively by hand.
        const int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) return nullptr;
        std::FILE* f = _fdopen(fd, "w+b");
        if (!f) _close(fd);
        return f;
    }
    const std::wstring wmode(m.begin(), m.end());
    return _wfopen(path.c_str(), wmode.c_str());
}

bool seekFile(std::FILE* file, std::int64_t offset, int whence) { return _fseeki64(file, offset, whence) == 0; }

std::int64_t tellFile(std::FILE* file) { return _ftelli64(file); }

bool syncFile(std::FILE* file) {
    if (!file || std::fflush(file) != 0) return false;
    return FlushFileBuffers(handleOf(file)) != 0;
}

void syncFolder(const fs::path&) {}

std::FILE* openRegularFile(const fs::path& path, bool& notAFile) {
    notAFile = false;
    std::FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) {
        std::error_code ec;
        notAFile = fs::exists(path, ec);
        return nullptr;
    }
    if (GetFileType(handleOf(f)) != FILE_TYPE_DISK) {
        std::fclose(f);
        notAFile = true;
        return nullptr;
    }
    return f;
}

std::optional<DirEntry> findOrdinaryFile(const fs::path& path) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(path.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(h);
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))
        return std::nullopt;
    return DirEntry{fs::path(data.cFileName),
                    (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
}

bool truncateFile(const fs::path& path, std::int64_t size) {
    std::error_code ec;
    fs::resize_file(path, static_cast<std::uintmax_t>(size), ec);
    return !ec;
}

bool renameNoReplace(const fs::path& from, const fs::path& to) {
    // MoveFileExW without MOVEFILE_REPLACE_EXISTING never replaces a file.
    return MoveFileExW(from.c_str(), to.c_str(), 0) != 0;
}

bool sameFileName(const fs::path& a, const fs::path& b) {
    const std::wstring& wa = a.native();
    const std::wstring& wb = b.native();
    return CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
}

std::int64_t kernelCopy(std::FILE*, std::FILE*, std::int64_t, bool&) { return 0; }

// A held file is locked beyond its end, so the lock never stands in the way of
// the file's own reads and writes; its handle shares deletion, so the holder
// can rename it while it holds it.
namespace {
constexpr DWORD kHeldOffsetHigh = 0x7FFFFFFF;

bool lockHeld(HANDLE h) {
    OVERLAPPED at{};
    at.OffsetHigh = kHeldOffsetHigh;
    return LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}
}  // namespace

namespace {

// A C stream that owns the handle `h`; the handle closed when none can be made.
std::FILE* streamOf(HANDLE h, const char* mode) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), 0);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, mode);
    if (!f) _close(fd);
    return f;
}

}  // namespace

std::FILE* createHeldFile(const fs::path& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    if (!lockHeld(h)) {
        CloseHandle(h);
        return nullptr;
    }
    return streamOf(h, "w+b");
}

bool removeUnlessHeld(const fs::path& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool removed = false;
    if (lockHeld(h)) {
        // Deleted through the handle that holds the lock: the very file checked.
        FILE_DISPOSITION_INFO gone{};
        gone.DeleteFile = TRUE;
        removed = SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone) != 0;
    }
    CloseHandle(h);
    return removed;
}

// The lock file is opened for deletion on close, shared with every other
// opener. Once any of its handles is closed the file is on its way out and
// cannot be opened again until its last handle is gone: so while one run
// holds the lock on it, a run that opens it later can neither open nor lock
// it, and when the holder closes it the file disappears.
LockAttempt tryLockFile(const fs::path& lockFile, std::intptr_t& lock, std::string& reason,
                        const std::function<void()>& between) {
    HANDLE h = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE && between) between();
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
            // A file on its way out answers "access denied" too; only a file
            // that is not there at all means the folder cannot take one.
            if (GetFileAttributesW(lockFile.c_str()) != INVALID_FILE_ATTRIBUTES) return LockAttempt::Taken;
            const DWORD why = GetLastError();
            if (why != ERROR_FILE_NOT_FOUND && why != ERROR_PATH_NOT_FOUND) return LockAttempt::Taken;
        }
        reason = "systémová chyba " + std::to_string(error);
        return LockAttempt::Failed;
    }
    OVERLAPPED at{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        CloseHandle(h);
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return LockAttempt::Taken;
        reason = "systémová chyba " + std::to_string(error);
        return LockAttempt::Failed;
    }
    lock = reinterpret_cast<std::intptr_t>(h);
    return LockAttempt::Locked;
}

void unlockFile(const fs::path&, std::intptr_t& lock) {
    if (lock == kNoLock) return;
    const HANDLE h = reinterpret_cast<HANDLE>(lock);
    OVERLAPPED at{};
    UnlockFileEx(h, 0, 1, 0, &at);
    CloseHandle(h);  // deletes the file
    lock = kNoLock;
}

ProcessId currentProcessId() { return static_cast<ProcessId>(GetCurrentProcessId()); }

fs::path ownExecutable() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) {
            buffer.resize(n);
            return fs::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

ChildProcesses::ChildProcesses() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    job_ = reinterpret_cast<std::intptr_t>(job);
}

ChildProcesses::~ChildProcesses() {
    if (job_ != -1) CloseHandle(reinterpret_cast<HANDLE>(job_));
}

std::optional<ChildProcesses::Child> ChildProcesses::start(const fs::path& program,
                                                           const std::vector<std::string>& args) {
    std::wstring line = quoted(program.wstring());
    for (const std::string& arg : args) line += L" " + quoted(wideOf(arg));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                        &startup, &info))
        return std::nullopt;
    if (job_ != -1) AssignProcessToJobObject(reinterpret_cast<HANDLE>(job_), info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    return Child{reinterpret_cast<std::intptr_t>(info.hProcess)};
}

std::pair<std::size_t, int> ChildProcesses::waitAny(const std::vector<Child>& children) {
    std::vector<HANDLE> handles;
    for (const Child& c : children) handles.push_back(reinterpret_cast<HANDLE>(c.handle));
    const DWORD at = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
    const std::size_t index = at < WAIT_OBJECT_0 + handles.size() ? at - WAIT_OBJECT_0 : 0;
    DWORD code = 1;
    if (at >= WAIT_OBJECT_0 + handles.size()) WaitForSingleObject(handles[0], INFINITE);
    GetExitCodeProcess(handles[index], &code);
    CloseHandle(handles[index]);
    return {index, code <= 255 ? static_cast<int>(code) : -1};
}

std::optional<int> ChildProcesses::ended(const Child& child) {
    const HANDLE process = reinterpret_cast<HANDLE>(child.handle);
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) return std::nullopt;
    DWORD code = 1;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code <= 255 ? static_cast<int>(code) : -1;
}

// The job object of the parent kills the child with it.
bool dieWithParent(ProcessId) { return true; }

const char* scaleLibraryFileName() { return "TWSWTCP.DLL"; }

LoadedEntry loadScaleEntry(const fs::path& library) {
    LoadedEntry loaded;
    HMODULE module = LoadLibraryW(library.c_str());
    if (!module) {
        const DWORD code = GetLastError();
        // A 32-bit library cannot be loaded into a 64-bit program, nor the
        // other way round.
        loaded.wrongBitness = code == ERROR_BAD_EXE_FORMAT;
        const std::u8string name = library.u8string();
        loaded.reason = windowsErrorText(code, std::string(name.begin(), name.end()));
        return loaded;
    }
    // The entry point has no name: it is exported by ordinal 2 only.
    loaded.entry = reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(2)));
    if (!loaded.entry) FreeLibrary(module);
    // Otherwise the library stays loaded until the program ends.
    return loaded;
}

std::tm localTime(std::time_t when) {
    std::tm local{};
    localtime_s(&local, &when);
    return local;
}

std::string computerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &length)) return {};
    return utf8Of(name, static_cast<int>(length));
}

void prepareConsole(int& argc, char**& argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);

    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return;  // keep the ANSI arguments rather than none
    // Kept for the whole run: argv points into them.
    static std::vector<std::string> texts;
    static std::vector<char*> pointers;
    texts.clear();
    for (int i = 0; i < count; ++i) texts.push_back(utf8Of(wide[i], -1).c_str());
    LocalFree(wide);
    pointers.clear();
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    argc = count;
    argv = pointers.data();
}

void prepareConsoleOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
}

// A shared file's lock lies beyond any end too, as a held file's does.
namespace {
constexpr DWORD kSharedOffsetHigh = 0x7FFFFFFE;
}  // namespace

std::FILE* openSharedFile(const fs::path& path, bool& notAFile) {
    notAFile = false;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::error_code ec;
        const fs::file_status st = fs::status(path, ec);
        notAFile = !ec && fs::exists(st) && !fs::is_regular_file(st);
        return nullptr;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        notAFile = true;
        return nullptr;
    }
    return streamOf(h, "r+b");
}

bool lockSharedFile(std::FILE* file, bool exclusive, int waitMs) {
    for (int waited = 0;; waited += 5) {
        OVERLAPPED at{};
        at.OffsetHigh = kSharedOffsetHigh;
        if (LockFileEx(handleOf(file), (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0) | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &at))
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) || waited >= waitMs) return false;
        Sleep(5);
    }
}

void unlockSharedFile(std::FILE* file) {
    OVERLAPPED at{};
    at.OffsetHigh = kSharedOffsetHigh;
    UnlockFileEx(handleOf(file), 0, 1, 0, &at);
}

bool truncateOpenFile(std::FILE* file, std::int64_t size) {
    return std::fflush(file) == 0 && _chsize_s(_fileno(file), size) == 0;
}

}  // namespace zalohy::platform
