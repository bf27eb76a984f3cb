// An argument that reaches a child intact only when quoted right.
#pragma once

inline constexpr const char* kTrickyArgument = "C:\\Users\\Jiří \"Ž\" \\\\ end\\";
