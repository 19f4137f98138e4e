#include "preview/MetafileExReader.h"

#include <QResource>

#include <algorithm>
#include <cstring>

TMemoryReader::TMemoryReader(const void* AMemory, int32_t ASize) {
    SetBlock(AMemory, ASize);
}

void TMemoryReader::SetBlock(const void* AMemory, int32_t ASize) {
    FMemory = static_cast<const uint8_t*>(AMemory);
    FSize = AMemory ? std::max<int32_t>(0, ASize) : 0;
    FPosition = 0;
}

int32_t TMemoryReader::Read(void* Buffer, int32_t Count) {
    const int32_t n = std::clamp<int32_t>(Count, 0, FSize - FPosition);
    if (n > 0) {
        std::memcpy(Buffer, FMemory + FPosition, static_cast<size_t>(n));
        FPosition += n;
    }
    return n;
}

int32_t TMemoryReader::Seek(int32_t Offset, int Origin) {
    int64_t target = FPosition;
    if (Origin == 0)
        target = Offset;
    else if (Origin == 1)
        target = int64_t(FPosition) + Offset;
    else if (Origin == 2)
        target = int64_t(FSize) - Offset;
    FPosition = static_cast<int32_t>(std::clamp<int64_t>(target, 0, FSize));
    return FPosition;
}

int32_t TMemoryReader::Write(const void*, int32_t) {
    return 0;
}

TResourceReader::TResourceReader(const QString& AName) {
    QResource resource(QStringLiteral(":/") + AName);
    if (!resource.isValid())
        return;
    if (resource.compressionAlgorithm() == QResource::NoCompression) {
        SetBlock(resource.data(), static_cast<int32_t>(resource.size()));
    } else {
        FData = resource.uncompressedData();
        SetBlock(FData.constData(), static_cast<int32_t>(FData.size()));
    }
}
