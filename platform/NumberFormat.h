#pragma once
// The user's number format: how volumes, rates and heights are written and how typed numbers
// are read. The separators come from one settings struct, filled from the system locale at
// start-up (tests set them directly), so the windows, the reports and the command line agree.

#include <cstdint>
#include <string>
#include <string_view>

struct TFormatSettings {
    std::string DecimalSeparator = ".";
    std::string ThousandSeparator = ",";
};

// The program's one number format.
TFormatSettings& FormatSettings();

// Fills FormatSettings() from the C library's current locale (after setlocale(LC_ALL, "")).
// An empty thousands separator (the "C" locale) keeps the default ",".
void LoadFormatSettingsFromCLocale();

// Text to a number in the user's format: optional blanks around, optional sign, digits with
// the user's decimal separator, optional exponent. Anything else (empty text, thousands
// separators, a value beyond the extended range) answers `Default`.
long double ParseFloatDef(std::string_view text, long double Default);

// "%.<decimals>n": fixed decimals with thousands separators ("%.0n" for volumes).
std::string FormatThousands(double value, int decimals);
// The same text as FormatThousands(value, 0), appended: for tables of a million figures.
void AppendThousands(std::string& out, int64_t value);

// "%.<decimals>f" with a full stop and no separators whatever the user's format: for files
// that other programs read.
std::string FormatFixedPlain(double value, int decimals);

// "%.<decimals>f": fixed decimals without thousands separators ("%.3f" for rates and metres).
std::string FormatFixed(double value, int decimals);
