#pragma once
// The program's one error type. Errors travel as exceptions carrying the text
// that the general error handler shows to the user.
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kadrix {

class Error : public std::exception {
public:
    explicit Error(std::u16string message);
    const std::u16string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.c_str(); }

private:
    std::u16string message_;
    std::string utf8_;
};

// Replaces each "%s" in the pattern, left to right, by the next argument.
std::u16string FormatText(std::u16string_view pattern, std::initializer_list<std::u16string_view> args);

}  // namespace kadrix
