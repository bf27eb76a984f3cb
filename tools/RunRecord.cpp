#include "RunRecord.h"

#include "File.h"
#include "Platform.h"
#include "WorkingFiles.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>


namespace fs = std::filesystem;

namespace zalohy {

namespace {

void putString(std::string& out, std::string_view text) {
    static const char* const hex = "0123456789abcdef";
    out.push_back('"');
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20 || u == 0x7f) {
                out += "\\u00";
                out.push_back(hex[u >> 4]);
                out.push_back(hex[u & 15]);
            } else {
                out.push_back(c);
            }
        }
    }
    out.push_back('"');
}

void putUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xc0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3f)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xe0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3f)));
    } else {
        out.push_back(static_cast<char>(0xf0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3f)));
    }
}

// A reader of one flat JSON object: string, integer and null values only,
// which is all a record holds.
class FlatJson {
public:
    explicit FlatJson(std::string_view text) : text_(text) {}

    struct Value {
        enum class Type { String, Integer, Null } type = Type::Null;
        std::string text;
        long long number = 0;
    };

    // Calls take(key, value) for each member; false when the text is not one
    // flat object (or take refuses).
    template <typename Take>
    bool read(Take&& take) {
        skipSpace();
        if (!eat('{')) return false;
        skipSpace();
        if (eat('}')) return atEnd();
        for (;;) {
            std::string key;
            Value value;
            skipSpace();
            if (!string(key)) return false;
            skipSpace();
            if (!eat(':')) return false;
            skipSpace();
            if (!this->value(value) || !take(key, value)) return false;
            skipSpace();
            if (eat('}')) return atEnd();
            if (!eat(',')) return false;
        }
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;

    bool atEnd() {
        skipSpace();
        return at_ == text_.size();
    }
    void skipSpace() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r')) ++at_;
    }
    bool eat(char c) {
        if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
        return false;
    }
    bool hex4(std::uint32_t& code) {
        if (text_.size() - at_ < 4) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[at_++];
            code <<= 4;
            if (c >= '0' && c <= '9') code |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f') code |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') code |= static_cast<std::uint32_t>(c - 'A' + 10);
            else return false;
        }
        return true;
    }
    bool string(std::string& out) {
        if (!eat('"')) return false;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (at_ == text_.size()) return false;
            const char e = text_[at_++];
            switch (e) {
            case '"': case '\\': case '/': out.push_back(e); break;
            case 'b': out.push_back('\b'); break;
            case 'f': out.push_back('\f'); break;
            case 'n': out.push_back('\n'); break;
            case 'r': out.push_back('\r'); break;
            case 't': out.push_back('\t'); break;
            case 'u': {
                std::uint32_t code = 0;
                if (!hex4(code)) return false;
                if (code >= 0xd800 && code < 0xdc00) {  // a surrogate pair
                    std::uint32_t low = 0;
                    if (!eat('\\') || !eat('u') || !hex4(low) || low < 0xdc00 || low > 0xdfff) return false;
                    code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
                } else if (code >= 0xdc00 && code <= 0xdfff) {
                    return false;
                }
                putUtf8(out, code);
                break;
            }
            default: return false;
            }
        }
        return false;
    }
    bool value(Value& out) {
        if (at_ < text_.size() && text_[at_] == '"') {
            out.type = Value::Type::String;
            return string(out.text);
        }
        if (text_.substr(at_, 4) == "null") {
            at_ += 4;
            out.type = Value::Type::Null;
            return true;
        }
        const char* begin = text_.data() + at_;
        const auto [end, ec] = std::from_chars(begin, text_.data() + text_.size(), out.number);
        if (ec != std::errc() || end == begin) return false;
        at_ += static_cast<std::size_t>(end - begin);
        out.type = Value::Type::Integer;
        return true;
    }
};

fs::path recordPath(const fs::path& folder) { return folder / kRunRecordFile; }

// How long a run waits for another one's append, trim or read of the record.
constexpr int kLockWaitMs = 10000;

std::string notAFileText(const fs::path& path) {
    return "záznam běhů " + files::toUtf8(path) + " není obyčejný soubor (roura, zařízení nebo složka): odmítnut";
}

// The record's lock for as long as it is worked on; let go before the file is closed.
class RecordLock {
public:
    RecordLock(files::File& file, bool exclusive)
        : file_(file), exclusive_(exclusive), held_(platform::lockSharedFile(file.stream(), exclusive, kLockWaitMs)) {}
    ~RecordLock() {
        if (!held_) return;
        if (exclusive_) file_.flush();  // what is written goes in while still locked
        platform::unlockSharedFile(file_.stream());
    }
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;
    bool held() const { return held_; }

private:
    files::File& file_;
    bool exclusive_;
    bool held_;
};

// The last `limit` bytes of the open file, `length` bytes long (all of it
// when shorter), starting at a line's beginning; nothing when it cannot be read.
std::optional<std::string> readTail(files::File& file, std::int64_t length, std::uint64_t limit) {
    const std::int64_t from = length > static_cast<std::int64_t>(limit) ? length - static_cast<std::int64_t>(limit) : 0;
    // One byte before the window tells whether the window starts a line.
    const std::int64_t start = from > 0 ? from - 1 : 0;
    if (!file.seek(start)) return std::nullopt;
    std::string text(static_cast<std::size_t>(length - start), '\0');
    if (file.read(text.data(), text.size()) != text.size()) return std::nullopt;
    if (from > 0) {
        const std::size_t lineStart = text.find('\n');
        text.erase(0, lineStart == std::string::npos ? text.size() : lineStart + 1);
    }
    return text;
}

// Keeps the newest lines, about half the limit, in the file itself, so it
// keeps its mode and owner: they are written over its start and synced
// before the file is cut after them. The file is more than twice as long as
// what it keeps, so their old copy at its end stays whole until the cut: a
// run killed in between loses no line (some are there twice until the next
// append trims again). Called under the exclusive lock.
bool shorten(files::File& file, std::int64_t length, const RunRecordLimits& limits) {
    std::optional<std::string> tail = readTail(file, length, limits.maxBytes / 2);
    if (!tail) return false;
    // A cut line at the end is not carried over.
    tail->erase(tail->rfind('\n') == std::string::npos ? 0 : tail->rfind('\n') + 1);
    return file.seek(0) && file.write(tail->data(), tail->size()) && file.sync() &&
           platform::truncateOpenFile(file.stream(), static_cast<std::int64_t>(tail->size())) && file.sync();
}

}  // namespace

std::string formatRunRecord(const RunRecordLine& record) {
    std::string out = "{\"time\":";
    putString(out, record.time);
    out += ",\"command\":";
    putString(out, record.command);
    out += ",\"address\":";
    putString(out, record.address);
    out += ",\"status\":";
    putString(out, record.status);
    out += ",\"library_status\":";
    out += record.libraryStatus ? std::to_string(*record.libraryStatus) : "null";
    out += ",\"archive\":";
    putString(out, record.archive);
    out += "}\n";
    return out;
}

std::optional<RunRecordLine> parseRunRecord(std::string_view line) {
    RunRecordLine record;
    unsigned seen = 0;
    using Type = FlatJson::Value::Type;
    const bool parsed = FlatJson(line).read([&](const std::string& key, FlatJson::Value& value) {
        static const char* const strings[] = {"time", "command", "address", "status", "archive"};
        std::string* const fields[] = {&record.time, &record.command, &record.address, &record.status,
                                       &record.archive};
        for (std::size_t i = 0; i < 5; ++i) {
            if (key != strings[i]) continue;
            if (value.type != Type::String) return false;
            *fields[i] = std::move(value.text);
            seen |= 1u << i;
            return true;
        }
        if (key == "library_status") {
            if (value.type == Type::String) return false;
            if (value.type == Type::Integer) {
                if (value.number < INT32_MIN || value.number > INT32_MAX) return false;
                record.libraryStatus = static_cast<int>(value.number);
            }
        }
        return true;
    });
    // time, command, address and status are required; archive may be left out.
    if (!parsed || (seen & 0xf) != 0xf) return std::nullopt;
    return record;
}

std::string runRecordTime(std::time_t when) {
    using namespace std::chrono;
    if (!when) when = std::time(nullptr);
    const std::tm local = platform::localTime(when);
    // The offset from UTC is the local clock's reading less the moment it
    // reads, both counted from 1970 (no time zone database needed).
    const sys_seconds asRead = sys_days{year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
                                        day{static_cast<unsigned>(local.tm_mday)}} +
                               hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec};
    const long long offset = duration_cast<minutes>(asRead - sys_seconds{seconds{when}}).count();
    const long long shown = offset < 0 ? -offset : offset;
    char text[48] = {};
    std::strftime(text, 20, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + 19, sizeof text - 19, "%c%02lld:%02lld", offset < 0 ? '-' : '+', shown / 60, shown % 60);
    return text;
}

void appendJsonString(std::string& out, std::string_view text) { putString(out, text); }

bool appendRunRecord(const fs::path& folder, const RunRecordLine& record, const RunRecordLimits& limits,
                     std::string* problem) {
    const fs::path path = recordPath(folder);
    const auto fail = [&](std::string text) {
        if (problem) *problem = std::move(text);
        return false;
    };
    // Never written, so never grown past its limit either (by root too).
    if (files::isReadOnly(path)) return fail("záznam běhů " + files::toUtf8(path) + " je jen pro čtení: nezapsán");
    bool notAFile = false;
    files::File file(platform::openSharedFile(path, notAFile));
    if (notAFile) return fail(notAFileText(path));
    const std::string cannot = "záznam běhů nelze zapsat do " + files::toUtf8(path);
    if (!file.isOpen()) return fail(cannot);
    // Appends and trims of every run one after another: a trim never drops
    // a line appended meanwhile.
    const RecordLock lock(file, true);
    std::string line = formatRunRecord(record);
    const std::int64_t length = file.length();
    bool ok = lock.held() && length >= 0;
    // A run killed in the middle of its line left it without its line break.
    char last = '\n';
    if (ok && length > 0) ok = file.seek(length - 1) && file.read(&last, 1) == 1;
    if (last != '\n') line.insert(0, 1, '\n');
    // A write cut short (a full disk) leaves a cut line at the end, skipped
    // by the reader.
    if (!ok || !file.seekEnd() || !file.write(line.data(), line.size()) || !file.flush()) return fail(cannot);
    const std::int64_t after = length + static_cast<std::int64_t>(line.size());
    if (static_cast<std::uint64_t>(after) > limits.maxBytes && !shorten(file, after, limits) && problem)
        *problem = "záznam běhů " + files::toUtf8(path) + " nelze zkrátit";
    return true;
}

std::vector<RunRecordLine> readRunRecord(const fs::path& folder, const RunRecordLimits& limits) {
    std::vector<RunRecordLine> records;
    files::File file;
    if (!file.openRegular(recordPath(folder))) return records;
    // Not in the middle of a trim; a lock not had in time is no reason to show nothing.
    const RecordLock lock(file, false);
    const std::int64_t length = file.length();
    const std::optional<std::string> text = length < 0 ? std::nullopt : readTail(file, length, limits.maxBytes);
    if (!text) return records;
    std::size_t at = 0;
    for (std::size_t end; (end = text->find('\n', at)) != std::string::npos; at = end + 1)
        if (std::optional<RunRecordLine> record = parseRunRecord(std::string_view(*text).substr(at, end - at)))
            records.push_back(std::move(*record));
    return records;
}

std::optional<std::string> refusedRunRecord(const fs::path& folder) {
    files::File file;
    bool notAFile = false;
    if (file.openRegular(recordPath(folder), &notAFile) || !notAFile) return std::nullopt;
    return notAFileText(recordPath(folder));
}

}  // namespace zalohy
