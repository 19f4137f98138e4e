// The survey LandXml reader on arbitrary bytes: a file is read whole or refused with a message,
// never a crash, hang or unbounded allocation; what it accepts triangulates and samples sanely.

#include "SurveyFuzzCheck.h"

#include "survey/SurveyImport.h"
#include "survey/SurveyReader.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TSurveyFile file;
    try {
        file = ReadLandXmlBytes(bytes, "fuzz");
    } catch (const EFailure&) {
        return 0;
    }
    CheckSurveyFile(file);
    return 0;
}
