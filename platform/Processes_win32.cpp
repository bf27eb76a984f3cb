// Processes on Windows.
#include "Processes.h"

#include "Files.h"

#include <algorithm>
#include <windows.h>

namespace fs = std::filesystem;

namespace zalohy::platform {

namespace {

std::wstring wideOf(const std::string& utf8) { return pathFromUtf8(utf8).wstring(); }

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

std::optional<std::pair<std::size_t, int>> ChildProcesses::waitAny(const std::vector<Child>& children,
                                                                   std::optional<std::chrono::milliseconds> timeout) {
    if (children.empty()) return std::nullopt;
    std::vector<HANDLE> handles;
    for (const Child& c : children) handles.push_back(reinterpret_cast<HANDLE>(c.handle));
    const DWORD ms = timeout ? static_cast<DWORD>(std::clamp<long long>(timeout->count(), 0, INFINITE - 1)) : INFINITE;
    const DWORD at = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, ms);
    if (at == WAIT_TIMEOUT) return std::nullopt;
    const std::size_t index = at < WAIT_OBJECT_0 + handles.size() ? at - WAIT_OBJECT_0 : 0;
    DWORD code = 1;
    if (at >= WAIT_OBJECT_0 + handles.size()) WaitForSingleObject(handles[0], INFINITE);
    GetExitCodeProcess(handles[index], &code);
    CloseHandle(handles[index]);
    return std::make_pair(index, code <= 255 ? static_cast<int>(code) : -1);
}

// The job object of the parent kills the child with it.
bool dieWithParent(ProcessId) { return true; }
}  // namespace zalohy::platform
