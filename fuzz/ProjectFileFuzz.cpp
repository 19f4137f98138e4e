// The project-file reader on arbitrary bytes: it must fail with a message or load, never crash,
// hang, read out of bounds or allocate what the bytes cannot hold. A loaded project must save
// and load back to the same bytes, and calculate.

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
    const std::string saved = d.SaveToBytes();
    TInputData e;
    e.LoadFromBytes(saved);
    if (e.SaveToBytes() != saved)
        std::abort();
    for (int method = 0; method < 3; ++method) {
        e.SetCalcType(method);
        e.Calcrate();
    }
    return 0;
}
