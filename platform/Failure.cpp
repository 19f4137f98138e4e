#include "Failure.h"

#include <cstdarg>
#include <cstdio>
#include <new>

std::string StrFormat(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    const int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), fmt, ap2);
        out.resize(static_cast<size_t>(n));
    }
    va_end(ap2);
    return out;
}

std::string FailureText(const std::exception& e) {
    // A length beyond what a container can hold is the same lack of memory.
    if (dynamic_cast<const std::bad_alloc*>(&e) || dynamic_cast<const std::length_error*>(&e))
        return "メモリが足りません。データが大きすぎるため、処理を続けられませんでした。";
    return e.what();
}
