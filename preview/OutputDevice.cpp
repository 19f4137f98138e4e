#include "preview/OutputDevice.h"

TOutputDevice::TOutputDevice(TOutputSink& Sink) : FSink(Sink) {
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 TOutputDevice::readData(char* Data, qint64 MaxSize) {
    (void)Data;
    (void)MaxSize;
    return -1;
}

qint64 TOutputDevice::writeData(const char* Data, qint64 Size) {
    if (Size <= 0)
        return 0;
    return FSink.Write(Data, static_cast<size_t>(Size)) ? Size : -1;
}
