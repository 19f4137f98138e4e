#include "CodePage.h"

#include <cerrno>
#include <iconv.h>

namespace {

// Length of the UTF-8 sequence that starts with `c`; 1 for a byte that cannot start one, so that
// a bad byte is skipped alone.
size_t Utf8SequenceLength(unsigned char c) {
    if (c < 0xC0)
        return 1;
    if (c < 0xE0)
        return 2;
    if (c < 0xF0)
        return 3;
    if (c < 0xF8)
        return 4;
    return 1;
}

class TIconv {
public:
    TIconv(const char* to, const char* from) : FCd(iconv_open(to, from)) {}
    ~TIconv() {
        if (FCd != reinterpret_cast<iconv_t>(-1))
            iconv_close(FCd);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Valid() const { return FCd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of `in`; at a sequence iconv refuses, writes '?' and skips `skip(byte)`
    // bytes, so no input is silently dropped and the loop always advances.
    template <class Skip> std::string Convert(std::string_view in, Skip skip) {
        std::string out;
        out.reserve(in.size() * 2 + 16);
        char buf[4096];
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        while (inLeft > 0) {
            char* outPtr = buf;
            size_t outLeft = sizeof buf;
            const size_t rc = iconv(FCd, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buf, static_cast<size_t>(outPtr - buf));
            if (rc != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (a sequence cut at the end): replace and go on.
            out.push_back('?');
            size_t n = skip(static_cast<unsigned char>(*inPtr));
            if (n > inLeft)
                n = inLeft;
            inPtr += n;
            inLeft -= n;
            iconv(FCd, nullptr, nullptr, nullptr, nullptr);
        }
        // Flush any shift state (none for these encodings, but cheap to be correct).
        char* outPtr = buf;
        size_t outLeft = sizeof buf;
        iconv(FCd, nullptr, nullptr, &outPtr, &outLeft);
        out.append(buf, static_cast<size_t>(outPtr - buf));
        return out;
    }

private:
    iconv_t FCd;
};

// Without iconv's CP932 (a stripped C library) keep ASCII and mark everything else, rather than
// failing every save.
std::string AsciiOnly(std::string_view in) {
    std::string out(in);
    for (char& c : out)
        if (static_cast<unsigned char>(c) >= 0x80)
            c = '?';
    return out;
}

} // namespace

std::string Utf8ToCp932(std::string_view utf8) {
    TIconv cd("CP932", "UTF-8");
    if (!cd.Valid())
        return AsciiOnly(utf8);
    // ASCII is the same in code page 932, and a large table is mostly ASCII: only the runs
    // between ASCII bytes (never inside a UTF-8 sequence) go through iconv.
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        size_t end = pos;
        while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) < 0x80)
            ++end;
        out.append(utf8.data() + pos, end - pos);
        pos = end;
        while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) >= 0x80)
            ++end;
        if (end > pos)
            out += cd.Convert(utf8.substr(pos, end - pos), Utf8SequenceLength);
        pos = end;
    }
    return out;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    TIconv cd("UTF-8", "CP932");
    if (!cd.Valid())
        return AsciiOnly(cp932);
    return cd.Convert(cp932, [](unsigned char) { return size_t{1}; });
}

size_t Cp932CutLength(std::string_view cp932, size_t maxBytes) {
    size_t pos = 0;
    while (pos < cp932.size()) {
        const size_t len = IsCp932LeadByte(static_cast<unsigned char>(cp932[pos])) ? 2 : 1;
        if (pos + len > maxBytes)
            break;
        pos += len;
    }
    return pos < cp932.size() ? pos : cp932.size();
}

std::string WithoutControlChars(std::string_view utf8, std::string_view keep) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if ((c < 0x20 || c == 0x7F) && keep.find(static_cast<char>(c)) == std::string_view::npos)
            continue;
        // U+0080 to U+009F are C2 80 to C2 9F.
        if (c == 0xC2 && i + 1 < utf8.size()) {
            const unsigned char d = static_cast<unsigned char>(utf8[i + 1]);
            if (d >= 0x80 && d <= 0x9F) {
                ++i;
                continue;
            }
        }
        out.push_back(static_cast<char>(c));
    }
    return out;
}
