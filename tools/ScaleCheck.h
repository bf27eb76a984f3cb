// check and check-list: whether a scale answers when asked for its shop name.
#pragma once

#include <string>

namespace zalohy {

// What asking a scale for its shop name found: the library's status, and
// whether the scale answered (status 0). `problem` (Czech) says why the
// library could not be asked at all.
struct ScaleCheck {
    int status = 1;
    bool answered = false;
    std::string problem;
};
// Asks in the current folder and removes what came.
ScaleCheck askShopName(const std::string& address);
// "ADDRESS: váha odpovídá (stav 0)" and the like.
std::string checkLine(const std::string& address, const ScaleCheck& check);
// The prefix of the scratch folders of check and check-list in the system's
// temporary folder.
inline constexpr const char* kScratchPrefix = "zaltool-kontrola-";

}  // namespace zalohy
