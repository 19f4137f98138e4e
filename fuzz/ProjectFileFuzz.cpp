// The project-file reader on arbitrary bytes: it must fail with a message or load, never crash,
// hang, read out of bounds or allocate what the bytes cannot hold. A loaded project has no
// control character in its texts, must save and load back to the same bytes, and calculate or
// say why not.

#include "model/CalcDetail.h"
#include "model/DataUnit.h"
#include "platform/Failure.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TInputData d;
    const std::string before = d.SaveToBytes();
    try {
        d.LoadFromBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const EFailure&) {
        if (d.SaveToBytes() != before) // a failed load must leave the model as it was
            std::abort();
        return 0;
    }
    // No control character from the bytes reaches a text of the project.
    const auto clean = [](const std::string& t) {
        for (size_t i = 0; i < t.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(t[i]);
            const unsigned char next = i + 1 < t.size() ? static_cast<unsigned char>(t[i + 1]) : 0;
            if (c < 0x20 || c == 0x7F || (c == 0xC2 && next >= 0x80 && next <= 0x9F))
                return false;
        }
        return true;
    };
    if (!clean(d.Title()))
        std::abort();
    for (int i = 0; i <= 5; ++i)
        if (!clean(d.GetSolidName(i)))
            std::abort();
    // The detail file's heading is one line: the layer names cannot split it.
    if (d.Layer() >= 1 && d.Layer() <= 5) {
        const std::string detail = DetailCsvText(d);
        const size_t heading = detail.find("\r\n\r\n") + 4;
        const size_t end = detail.find("\r\n", heading);
        if (end == std::string::npos ||
            detail.substr(heading, end - heading).find_first_of("\r\n") != std::string::npos)
            std::abort();
    }
    const std::string saved = d.SaveToBytes();
    TInputData e;
    e.LoadFromBytes(saved);
    if (e.SaveToBytes() != saved)
        std::abort();
    for (int method = 0; method < 3; ++method) {
        e.SetCalcType(method);
        try {
            e.Calcrate();
        } catch (const EFailure&) {
            // A spacing or a value no calculation can use is named instead; nothing was changed.
            if (e.GetPhase(2) || e.CalcMeshCount() != 0)
                std::abort();
        }
    }
    return 0;
}
