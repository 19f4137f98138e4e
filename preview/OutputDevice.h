#pragma once
// A write-only device over an output of the platform layer, so that Qt's writers (the PDF
// writer of the reports and of the built-in printer) go through the same atomic writer as every
// other file of the program. A write error makes the device answer -1 and is reported by the
// output's Commit.

#include "platform/FileUtil.h"

#include <QIODevice>

class TOutputDevice : public QIODevice {
public:
    explicit TOutputDevice(TOutputSink& Sink);
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* Data, qint64 MaxSize) override;
    qint64 writeData(const char* Data, qint64 Size) override;

private:
    TOutputSink& FSink;
};
