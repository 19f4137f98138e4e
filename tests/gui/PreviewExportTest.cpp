// The hidden export commands, the items' export contributions, and the progress animation.

#include "ModalDriver.h"
#include "PreviewTestSupport.h"

#include "preview/PreviewCountUnit.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class TRecordingWord : public TWordApplication {
public:
    void SelectionInsertBreak(int Type) override { Calls << QStringLiteral("break %1").arg(Type); }
    void SelectionTypeParagraph() override { Calls << QStringLiteral("paragraph"); }
    QStringList Calls;
};

// Types the name into the save dialog and accepts it; answers "replace?" with Yes.
void ChooseFile(const QString& Path) {
    WhenModal(
        [Path](QWidget* W) {
            auto* dialog = static_cast<QFileDialog*>(W);
            dialog->setDirectory(QFileInfo(Path).path());
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QFileInfo(Path).fileName());
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept is protected
        },
        [](QWidget* W) { return qobject_cast<QFileDialog*>(W) != nullptr; });
}

} // namespace

TEST(PreviewExport, ItemContributions) {
    TRecordingWord word;
    QStringList rtf, fonts;
    QList<QColor> colours;

    TPreviewItem plain;
    plain.WordOut(word);
    plain.TabelSearch(fonts, colours);
    plain.RTFOut(rtf, fonts, colours);
    EXPECT_TRUE(word.Calls.isEmpty());
    EXPECT_TRUE(rtf.isEmpty());

    TPvNewPageItem page;
    page.WordOut(word);
    page.RTFOut(rtf, fonts, colours);
    EXPECT_EQ(word.Calls, QStringList{QStringLiteral("break 7")});
    EXPECT_EQ(rtf, QStringList{QStringLiteral("{\\page }")});

    // Space in 0.1 mm to half points, rounded.
    const struct {
        int Space;
        int HalfPoints;
    } cases[] = {{0, 0}, {50, 28}, {100, 57}, {254, 144}, {3, 2}};
    for (const auto& c : cases) {
        TPvSpacerItem spacer;
        spacer.SetSpace(c.Space);
        rtf.clear();
        word.Calls.clear();
        spacer.WordOut(word);
        spacer.TabelSearch(fonts, colours);
        spacer.RTFOut(rtf, fonts, colours);
        EXPECT_EQ(rtf, QStringList{QStringLiteral("{ \\fs%1 \\par }").arg(c.HalfPoints)})
            << c.Space;
        EXPECT_EQ(word.Calls, QStringList{QStringLiteral("paragraph")});
    }
    EXPECT_TRUE(fonts.isEmpty());
    EXPECT_TRUE(colours.isEmpty());
}

TEST(PreviewExport, CommandsHiddenUntilMadeVisible) {
    TPreViewForm preview;
    preview.show();
    EXPECT_FALSE(preview.RTFOutEnabled());
    EXPECT_FALSE(preview.WordOutEnabled());
    EXPECT_FALSE(preview.RTFButton->isVisible());
    preview.SetOutEnabled(1, true);
    preview.SetOutEnabled(0, true);
    EXPECT_TRUE(preview.RTFOutEnabled());
    EXPECT_TRUE(preview.RTFButton->isVisible());
    EXPECT_TRUE(preview.WordButton->isVisible());
    preview.SetOutEnabled(0, false);
    EXPECT_FALSE(preview.WordOutEnabled());
    EXPECT_FALSE(preview.WordButton->isVisible());
    EXPECT_TRUE(preview.RTFOutEnabled());
}

TEST(PreviewExport, RtfSaysUnsupportedAndWritesNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath(QStringLiteral("報告.rtf"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    TPreViewForm preview;
    preview.SetOutEnabled(1, true);
    for (const QString& name : {dir.filePath(QStringLiteral("new.rtf")), existing}) {
        ChooseFile(name);
        if (name == existing) // the save dialog asks before replacing
            WhenModal(
                [](QWidget* W) {
                    static_cast<QMessageBox*>(W)->button(QMessageBox::Yes)->click();
                },
                [](QWidget* W) {
                    auto* box = qobject_cast<QMessageBox*>(W);
                    return box && box->windowTitle() != QStringLiteral("メッセージ");
                });
        QString text, title;
        AnswerMessageBox(QMessageBox::Ok, &text, &title);
        preview.RTFAction->trigger();
        EXPECT_EQ(text, QStringLiteral("このバージョンのプレビューでは RTF出力に対応しておりません。"));
        EXPECT_EQ(title, QStringLiteral("メッセージ"));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("報告.rtf")});
    QFile f(existing);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep me"));
}

TEST(PreviewExport, WordSaysUnsupported) {
    TPreViewForm preview;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    WhenModal(
        [&](QWidget* W) {
            auto* box = static_cast<QMessageBox*>(W);
            text = box->text();
            title = box->windowTitle();
            icon = box->icon();
            box->button(QMessageBox::Ok)->click();
        },
        [](QWidget* W) { return qobject_cast<QMessageBox*>(W) != nullptr; });
    preview.WordAction->trigger();
    EXPECT_EQ(text,
              QStringLiteral("このバージョンのプレビューでは Word への出力に対応しておりません。"));
    EXPECT_EQ(title, QStringLiteral("メッセージ"));
    EXPECT_EQ(icon, QMessageBox::Information);
}

TEST(PrintProgress, AnimeSteps) {
    using V = TViewPass;
    const struct {
        int Value, Count, Length;
        V View;
        bool Reversed;
        int Frame, Offset;
    } cases[] = {
        // Four frames over ten pages: (v - 10 div 8) * 128 div 320, within 0..3.
        {0, 10, 128, V::vp_Change, false, 0, 0},
        {5, 10, 128, V::vp_Change, false, 1, 32},
        {10, 10, 128, V::vp_Change, false, 3, 96},
        {10, 10, 128, V::vp_Change, true, 3, 0},
        {5, 10, 128, V::vp_Change, true, 1, 64},
        // Sliding: v * 96 * 105 div 1000, at most 96.
        {5, 10, 128, V::vp_Scroll, false, 50, 50},
        {5, 10, 128, V::vp_Scroll, true, 50, 46},
        {10, 10, 128, V::vp_Scroll, false, 96, 96},
        // Pages and strips large enough to overflow 32-bit products.
        {2000000, 2000000, 32000, V::vp_Scroll, false, 31968, 31968},
        {1999999, 2000000, 32000, V::vp_Change, false, 999, 31968},
    };
    for (const auto& c : cases) {
        TAnimeStep step;
        ASSERT_TRUE(AnimeStep(c.Value, c.Count, c.Length, c.View, c.Reversed, step));
        EXPECT_EQ(step.Frame, c.Frame) << c.Value << "/" << c.Count;
        EXPECT_EQ(step.Offset, c.Offset) << c.Value << "/" << c.Count;
    }
    TAnimeStep step;
    EXPECT_FALSE(AnimeStep(1, 0, 128, V::vp_Change, false, step));
    EXPECT_FALSE(AnimeStep(1, 10, 31, V::vp_Change, false, step));
}

TEST(PrintProgress, ShowsTheFrameOfTheStrip) {
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    auto strip = [&](bool Horizontal) {
        QImage image(Horizontal ? 128 : 32, Horizontal ? 32 : 128, QImage::Format_RGB32);
        for (int k = 0; k < 4; ++k)
            for (int a = 0; a < 32; ++a)
                for (int b = 0; b < 32; ++b)
                    image.setPixelColor(Horizontal ? 32 * k + a : b, Horizontal ? b : 32 * k + a,
                                        colours[k]);
        return image;
    };
    auto shown = [](TPreviewCountForm& Form) {
        return Form.Image1->pixmap().toImage().pixelColor(16, 16);
    };
    {
        TPreviewCountForm form;
        form.SetAnimeBMP(strip(true));
        form.SetCount(10);
        form.Execute();
        EXPECT_TRUE(form.Image1->pixmap().isNull()); // nothing counted yet
        form.SetValue(5);
        EXPECT_EQ(shown(form), colours[1]);
        form.SetValue(10);
        EXPECT_EQ(shown(form), colours[3]);
        EXPECT_EQ(form.PosLabel->text(), QStringLiteral("    10"));
    }
    {
        TPreviewCountForm form;
        form.SetAnimeBMP(strip(false));
        form.SetVerScroll(TVerScroll::vs_DownToUp);
        form.SetCount(10);
        form.Execute();
        form.SetValue(10);
        EXPECT_EQ(shown(form), colours[0]); // the last frame is the top one when reversed
    }
    {
        TPreviewCountForm form; // no strip: no picture, and no failure
        form.SetCount(3);
        form.Execute();
        form.SetValue(3);
        EXPECT_TRUE(form.Image1->pixmap().isNull());
    }
}
