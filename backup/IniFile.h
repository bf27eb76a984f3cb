// Windows profile (INI) files: one value of one key in one section per call,
// every call going to the file at once. Section and key names match without
// regard to letter case; a write replaces one value in place and keeps every
// other byte of the file. Values are 8-bit text (the file is code page 1250;
// callers convert).
#pragma once

#include <stdexcept>
#include <string>

namespace zalohy {

// Thrown by the writes; what() is "Unable to write to " + the file's path.
class IniWriteError : public std::runtime_error {
public:
    explicit IniWriteError(const std::string& path);
};

class TIniFile {
public:
    explicit TIniFile(std::string path);  // touches no file

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
    // "0x"/"0X"/"$" + hex digits or a decimal integer: non-zero is true;
    // anything else, or a missing key, gives def.
    bool ReadBool(const std::string& section, const std::string& key, bool def) const;
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteBool(const std::string& section, const std::string& key, bool value);

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace zalohy
