#pragma once
// The program's general error handler. An error raised while handling a
// message stops that handler; its text is queued and shown from the top of
// the message loop, one box at a time, never from inside a half-finished
// handler. While a box is up, nothing opens a capture or a window.
#include <string>
#include <utility>

#include "core/Error.h"

namespace kadrix::win {

// Queues a text for the user (main thread only); an identical text already
// waiting is not queued twice.
void ReportError(std::wstring text) noexcept;

// Shows the queued errors one after the other. Called at the top of the
// message loop, where no handler is under way; does nothing when called from
// inside a box's own message loop.
void ShowPendingErrors() noexcept;

// True while an error box is shown.
bool ErrorBoxShown() noexcept;
bool ErrorsPending() noexcept;

// The text of the exception being handled; call inside a catch block.
std::wstring CurrentExceptionText() noexcept;

// Runs fn; any exception escaping it is reported and swallowed. Returns false then.
template <typename Fn>
bool Guarded(Fn&& fn) noexcept {
    try {
        std::forward<Fn>(fn)();
        return true;
    } catch (...) {
        ReportError(CurrentExceptionText());
    }
    return false;
}

}  // namespace kadrix::win
