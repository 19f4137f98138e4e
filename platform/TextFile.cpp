#include "TextFile.h"

#include "CodePage.h"
#include "FileUtil.h"

void WriteCp932File(const std::string& path, std::string_view utf8Text) {
    WriteFileAtomic(path, Utf8ToCp932(utf8Text));
}
