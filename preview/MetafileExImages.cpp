#include "preview/MetafileExImages.h"

#include "preview/MetafileExReader.h"

#include "platform/Failure.h"

#include <QPainter>

#include <cmath>

// The program's picture resources live in this static library; they register on first use.
// (Outside any namespace, as the registration needs.)
static void RegisterPictures() {
    static bool registered = false;
    if (!registered) {
        Q_INIT_RESOURCE(preview_images);
        registered = true;
    }
}

int TMetaImages::LoadFromResource(const QString& ResourceName) {
    RegisterPictures();
    TResourceReader reader(ResourceName);
    int count = 0;
    while (reader.Position() < reader.Size()) {
        unsigned char length[4] = {};
        if (reader.Read(length, 4) < 4)
            throw EFailure("イメージの形式が正しくありません。");
        const uint32_t n = length[0] | length[1] << 8 | length[2] << 16 | uint32_t(length[3]) << 24;
        if (n == 0 || n > uint32_t(reader.Size() - reader.Position()))
            throw EFailure("イメージの形式が正しくありません。");
        QByteArray data(static_cast<qsizetype>(n), Qt::Uninitialized);
        reader.Read(data.data(), static_cast<int32_t>(n));
        FMetaList.push_back(TMetafileEx::FromData(data));
        ++count;
    }
    return count;
}

TMetafileEx& TMetaImages::GetMetaFile(int Index, TMetafileEx& Meta) const {
    if (Index < 0 || Index >= Count())
        throw EFailure(StrFormat("イメージファイルの範囲(%d)を超えて(%d)います。", Count(), Index));
    Meta = FMetaList[Index];
    return Meta;
}

TMetaData TMetaImages::DrawRect(QPainter& Canvas, const QRect& Rect, int ImageNum,
                                bool Transparent) const {
    TMetaData result;
    if (!Transparent)
        Canvas.fillRect(Rect, Qt::white);
    if (ImageNum < 0 || ImageNum >= Count())
        return result;
    const TMetafileEx& meta = FMetaList[ImageNum];
    const int w = Rect.width(), h = Rect.height();
    const int mw = meta.Width(), mh = meta.Height();
    if (mw <= 0 || mh <= 0)
        return result;
    const double sx = double(w) / mw, sy = double(h) / mh;
    QRect target;
    if (sx >= sy) {
        const int width = static_cast<int>(std::nearbyint(mw * sy));
        target = QRect(Rect.left() + (w - width) / 2, Rect.top(), width, h);
        result.Scale = sy;
    } else {
        const int height = static_cast<int>(std::nearbyint(mh * sx));
        target = QRect(Rect.left(), Rect.top() + (h - height) / 2, w, height);
        result.Scale = sx;
    }
    Canvas.save();
    Canvas.setRenderHint(QPainter::Antialiasing);
    Canvas.setRenderHint(QPainter::SmoothPixmapTransform);
    meta.Draw(Canvas, target);
    Canvas.restore();
    result.Base = target.topLeft();
    result.Size = QPoint(mw, mh);
    return result;
}
