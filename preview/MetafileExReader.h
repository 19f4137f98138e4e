#pragma once
// Read-only streams over a block of memory and over a data resource of the program (a Qt
// resource here, by name: "YOHAKU_IMAGE" is ":/YOHAKU_IMAGE").

#include <QByteArray>
#include <QString>

#include <cstdint>

class TMemoryReader {
public:
    TMemoryReader(const void* AMemory, int32_t ASize);
    virtual ~TMemoryReader() = default;

    // Copies up to Count bytes from the position; returns how many were copied.
    int32_t Read(void* Buffer, int32_t Count);
    // Origin 0 from the start, 1 from the position, 2 back from the end; clamped to the block.
    int32_t Seek(int32_t Offset, int Origin);
    // The block is not written: always 0.
    int32_t Write(const void* Buffer, int32_t Count);
    int32_t Size() const { return FSize; }
    int32_t Position() const { return FPosition; }

protected:
    TMemoryReader() = default;
    void SetBlock(const void* AMemory, int32_t ASize);

private:
    const uint8_t* FMemory = nullptr; // not owned
    int32_t FSize = 0;
    int32_t FPosition = 0;
};

// A missing resource reads as an empty block.
class TResourceReader : public TMemoryReader {
public:
    explicit TResourceReader(const QString& AName);

private:
    QByteArray FData; // the resource's bytes when it is stored compressed
};
