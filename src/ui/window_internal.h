// What the window files share: the table of windows, the posted messages
// and the desktop, in one state. Private to the window files of the toolkit.
#pragma once

#include "ui/detail/window.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace ui::detail {

struct Posted {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
};

struct State {
    std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
    std::uintptr_t nextHandle = 1;
    HWND desktop = nullptr;
    HWND main = nullptr;
    HWND active = nullptr;
    HWND focus = nullptr;
    Desktop desk;
    std::deque<Posted> posted;
    std::vector<CurrentMessage> messages;
};

State& st();

inline std::uintptr_t key(HWND h) { return reinterpret_cast<std::uintptr_t>(h); }

} // namespace ui::detail
