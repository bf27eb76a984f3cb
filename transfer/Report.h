// How the core's operations tell the user something. The archive container,
// the command runner and the trimming all report through this one interface;
// the window that owns the operation (or a console) implements it.
#pragma once

#include <string>

namespace zalohy {

class Report {
public:
    virtual ~Report() = default;
    // One of the operation's own messages: a modal box with an OK button and
    // no icon, text then caption (UTF-8).
    virtual void message(const std::string& text, const std::string& caption) = 0;
    // One progress line at the end of the owner's text box (UTF-8).
    virtual void line(const std::string& text) = 0;
};

}  // namespace zalohy
