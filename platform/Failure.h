#pragma once
// A failure that ends the user's operation. Its text (UTF-8, Japanese) is shown to the user as
// it stands, so it must be a complete sentence that says what went wrong.

#include <exception>
#include <stdexcept>
#include <string>

class EFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// printf-style formatting into a std::string, for failure texts and reports.
std::string StrFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The text a failed operation shows: an EFailure's own text; running out of memory in Japanese
// words (the open project stays as it was, since nothing reaches the model before it is whole);
// any other exception's text as it stands.
std::string FailureText(const std::exception& e);
