#pragma once
// The program's general error handler: an error raised while handling a
// message stops that handler, and its text is shown in a message box; the
// program keeps running.
#include <string>
#include <utility>

#include "core/Error.h"

namespace kadrix::win {

void ShowErrorMessage(const std::wstring& text);

// Runs fn; an error escaping it is shown and swallowed. Returns false then.
template <typename Fn>
bool Guarded(Fn&& fn) {
    try {
        std::forward<Fn>(fn)();
        return true;
    } catch (const Error& e) {
        ShowErrorMessage(std::wstring(e.Message().begin(), e.Message().end()));
    } catch (const std::exception& e) {
        std::string what = e.what();
        ShowErrorMessage(std::wstring(what.begin(), what.end()));
    }
    return false;
}

}  // namespace kadrix::win
