#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace ui {

inline constexpr char kApplicationErrorTitle[] = "Application Error";

// "Exception <class> in module <module> at <address>.\r\n<message>\r\n",
// the message with its full stop; the address as at least eight upper-case
// hex digits.
std::string ApplicationErrorText(std::string_view class_name, std::string_view module,
                                 std::uintptr_t address, std::string_view message);

// Where a code address lies: the file name (no directory) of the module
// that holds it and the address relative to that module's load address.
struct CodeOrigin {
    std::string module;
    std::uintptr_t offset = 0;
};
CodeOrigin OriginOf(const void* code_address);

// The text above for any thrown object: a runtime::Exception gives its
// class name and message, anything else its C++ type name and no message.
std::string ApplicationErrorText(std::exception_ptr failure, const void* code_address);

// The last-resort report, for a failure nothing else caught (start-up): the
// "Application Error" box, with the address of the code that called it.
// runtime::EAbort shows nothing. Never throws.
void ShowApplicationError(std::exception_ptr failure) noexcept;

}  // namespace ui
