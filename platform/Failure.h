#pragma once
// A failure that ends the user's operation. Its text (UTF-8, Japanese) is shown to the user as
// it stands, so it must be a complete sentence that says what went wrong.

#include <stdexcept>
#include <string>

class EFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// printf-style formatting into a std::string, for failure texts and reports.
std::string StrFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
