#include "ui/application_error.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "runtime/exception.h"
#include "ui/dialog_responder.h"
#include "ui/exception_report.h"

namespace ui {

namespace {

std::string BaseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExecutablePath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// The C++ name of the object being handled; only valid inside a catch block.
std::string HandledTypeName() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (!type) return "unknown";
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), &std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(type->name());
}

}  // namespace

std::string ApplicationErrorText(std::string_view class_name, std::string_view module,
                                 std::uintptr_t address, std::string_view message) {
    char hex[2 * sizeof(std::uintptr_t) + 1];
    std::snprintf(hex, sizeof hex, "%08llX", static_cast<unsigned long long>(address));
    std::string text = "Exception ";
    text.append(class_name).append(" in module ").append(module);
    text.append(" at ").append(hex).append(".\r\n");
    text += WithFullStop(std::string(message));
    text += "\r\n";
    return text;
}

CodeOrigin OriginOf(const void* code_address) {
    CodeOrigin origin;
    origin.offset = reinterpret_cast<std::uintptr_t>(code_address);
    Dl_info info{};
    if (code_address && dladdr(code_address, &info) != 0) {
        origin.offset -= reinterpret_cast<std::uintptr_t>(info.dli_fbase);
        if (info.dli_fname) origin.module = BaseName(info.dli_fname);
    }
    // The loader may know the main program by no name at all.
    if (origin.module.empty()) origin.module = BaseName(ExecutablePath());
    return origin;
}

std::string ApplicationErrorText(std::exception_ptr failure, const void* code_address) {
    const CodeOrigin origin = OriginOf(code_address);
    std::string class_name;
    std::string message;
    try {
        if (failure) std::rethrow_exception(failure);
        class_name = "unknown";
    } catch (const runtime::Exception& e) {
        class_name = e.ClassName();
        message = e.Message();
    } catch (...) {
        class_name = HandledTypeName();
    }
    return ApplicationErrorText(class_name, origin.module, origin.offset, message);
}

void ShowApplicationError(std::exception_ptr failure) noexcept {
    if (!failure) return;
    const void* caller = __builtin_return_address(0);
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const runtime::EAbort&) {
            return;
        } catch (...) {
        }
        CurrentDialogResponder().Error(kApplicationErrorTitle,
                                       ApplicationErrorText(failure, caller));
    } catch (...) {
        std::fputs("Application Error: the failure could not be shown\n", stderr);
    }
}

}  // namespace ui
