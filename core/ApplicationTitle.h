// The application title: on the taskbar and in the caption of the standard
// error box. ASCII, with a trailing blank. Shared by every front end.
#pragma once

namespace zalohy {

inline constexpr const char* kApplicationTitle = "Zalohovani dat vah DIGI ";

}  // namespace zalohy
