#include "ModalDriver.h"
#include "PreviewTestSupport.h"
#include "RealInput.h"

#include "app/DataForm.h"
#include "app/MainUnit.h"
#include "controls/ImageButton.h"
#include "controls/MessageBoxes.h"
#include "controls/RadioGroup.h"
#include "input/BaseDataUnit.h"
#include "input/SurveyImportDialog.h"
#include "model/DataUnit.h"
#include "results/CalcOutDetailUnit.h"
#include "results/CalcOutView.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <new>
#include <string>

#include <sys/stat.h>

namespace {

// The windows as the program creates them: the frame, the base data dialog, and the
// navigation window that the frame makes when it is shown.
struct Navigation : testing::Test {
    TMainForm frame;
    TBaseInputForm baseForm{&frame};
    TInputForm* nav = nullptr;
    QTemporaryDir dir;

    void SetUp() override {
        MainForm = &frame;
        BaseInputForm = &baseForm;
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        nav = frame.InputForm();
        ASSERT_NE(nav, nullptr);
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override { MainForm = nullptr; }

    // Buttons enabled, in the order open, base, mesh, calc, save, save as, print data,
    // summary, list, report, map: "1" enabled, "0" disabled.
    std::string Enabled() const {
        std::string s;
        for (const TImageButton* b :
             {nav->ImageButton1, nav->ImageButton2, nav->MeshInputButton, nav->CalcButton,
              nav->ImageButton3, nav->ImageButton4, nav->InputPrintButton, nav->SumViewButton,
              nav->DetailViewButton, nav->CalcPrintButton, nav->MapButton})
            s += b->isEnabled() ? '1' : '0';
        return s;
    }
    QString Path(const QString& Name) const { return dir.filePath(Name); }

    // A project with four points around one mesh and valid results, saved to Name.
    QString SaveCalculatedProject(const QString& Name, const std::string& Title) {
        TInputData d;
        d.SetTitle(Title);
        d.SetLayer(1);
        d.SetPhase(0, true);
        for (int x = 0; x <= 1; ++x)
            for (int y = 0; y <= 1; ++y) {
                TGridData g;
                g.X = x;
                g.Y = y;
                g.GH = 10.0;
                g.FH = 12.0;
                d.SetMeshData(g);
            }
        EXPECT_TRUE(d.Calcrate());
        const QString path = Path(Name);
        QDir().mkpath(QFileInfo(path).path());
        d.FileSave(QFile::encodeName(path).toStdString());
        return path;
    }

    // Opens the base data dialog by its button; Edit changes the dialog, then OK.
    template <class F> void ConfirmBaseData(F Edit) {
        WhenModal([this, Edit](QWidget*) {
            Edit();
            QTest::mouseClick(baseForm.BitBtn1, Qt::LeftButton);
        });
        QTest::mouseClick(nav->ImageButton2, Qt::LeftButton);
    }

    // Answers the next file dialog with Path, or cancels it when Path is empty.
    void AnswerFileDialog(const QString& FilePath) {
        WhenModal(
            [FilePath](QWidget* w) {
                auto* fd = static_cast<QFileDialog*>(w);
                if (FilePath.isEmpty()) {
                    fd->reject();
                    return;
                }
                fd->selectFile(FilePath);
                static_cast<QDialog*>(fd)->accept(); // QFileDialog::accept is protected
            },
            [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; });
    }
};

} // namespace

TEST_F(Navigation, FrameAndStartState) {
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("土量計算システム"));
    EXPECT_EQ(frame.MdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーション"));
    EXPECT_EQ(nav->Panel1->size(), QSize(542, 327));
    EXPECT_EQ(Enabled(), "11001100000");
}

TEST_F(Navigation, BaseDataOkEnablesMeshDataCancelDoesNot) {
    WhenModal([this](QWidget*) { QTest::mouseClick(baseForm.BitBtn2, Qt::LeftButton); });
    QTest::mouseClick(nav->ImageButton2, Qt::LeftButton);
    EXPECT_EQ(Enabled(), "11001100000");
    ConfirmBaseData([] {});
    EXPECT_EQ(Enabled(), "11101100000");
}

// Every button of the flow chart, clicked: the window it opens (closed again as Esc would) and
// what it changes, in turn on one project.
TEST_F(Navigation, EachButtonOpensItsStep) {
    TCalcOutForm sumForm;
    TCalcAllForm allForm;
    CalcOutForm = &sumForm;
    CalcAllForm = &allForm;
    PreparedPreview();
    const QString path = SaveCalculatedProject(QStringLiteral("flow.msh"), "流れ");
    nav->LoadFile(path);

    nav->InputData().SetPhase(2, false); // results out of date: only the calculation helps
    EXPECT_EQ(ModalsOpenedByClick(nav->CalcButton), "TCalcOutForm");
    EXPECT_EQ(Enabled(), "11111111111") << "calculated";

    nav->InputData().SetTitle("保存前");
    const std::pair<TImageButton*, const char*> steps[] = {
        {nav->SumViewButton, "TCalcOutForm"},
        {nav->DetailViewButton, "TCalcAllForm"},
        {nav->CalcPrintButton, "TPrintoutForm"},
        {nav->InputPrintButton, "TPreViewForm"},
        {nav->MeshInputButton, "TMeshInputForm"},
        {nav->MapButton, "TSiteMapForm"},
        {nav->ImageButton2, "TBaseInputForm"},
        // The project changed: the question to save comes first, and closing it cancels.
        {nav->ImageButton1, "QMessageBox"},
        {nav->ImageButton4, "QFileDialog/save"},
        {nav->ImageButton3, ""}, // a project with a name is saved at once
    };
    for (auto [button, opens] : steps)
        EXPECT_EQ(ModalsOpenedByClick(button), opens) << opens;
    EXPECT_EQ(Enabled(), "11111111111") << "every window cancelled";
    EXPECT_EQ(nav->FileName(), path);
    TInputData reread;
    reread.FileLoad(QFile::encodeName(path).toStdString());
    EXPECT_EQ(reread.Title(), "保存前");
    CalcOutForm = nullptr;
    CalcAllForm = nullptr;
}

TEST_F(Navigation, OpeningACalculatedProjectAndConfirmingBaseData) {
    const QString path = SaveCalculatedProject(QStringLiteral("a.b/plan.old.msh"), "造成");
    nav->LoadFile(path);
    // "&F" in the windows' prints names the project's file.
    EXPECT_EQ(SharedPreviewForm().Document().FileName(), path);
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーション [plan.old]"));
    EXPECT_EQ(nav->FileName(), path);
    EXPECT_EQ(Enabled(), "11111111111");
    EXPECT_GT(nav->InputData().CalcMeshCount(), 0) << "results recalculated on opening";
    EXPECT_EQ(nav->InputData().Title(), "造成");

    ConfirmBaseData([] {}); // even unchanged, the results are no longer valid
    EXPECT_EQ(Enabled(), "11111110001");
}

TEST_F(Navigation, FailedOpenKeepsFileCaptionAndProject) {
    const QString good = SaveCalculatedProject(QStringLiteral("site1.msh"), "元の工事");
    nav->LoadFile(good);
    const QString junk = Path(QStringLiteral("notes.msh"));
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a project at all\n");
    }
    QString text, title;
    AnswerMessageBox(QMessageBox::Ok, &text, &title);
    nav->LoadFile(junk);
    EXPECT_FALSE(text.isEmpty()) << "the model's failure text is shown";
    EXPECT_EQ(nav->FileName(), good);
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーション [site1]"));
    EXPECT_EQ(nav->InputData().Title(), "元の工事");

    // Saving now writes the project that was open, never over the file that failed.
    nav->SaveButtonClick();
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("not a project at all\n"));
}

// A FIFO is refused at once (opening it would wait for a writer for ever) and a failure for
// want of memory speaks Japanese; either way the open project stays.
TEST_F(Navigation, FifoAndOutOfMemoryKeepTheProject) {
    const QString good = SaveCalculatedProject(QStringLiteral("site1.msh"), "元の工事");
    nav->LoadFile(good);
    const QString fifo = Path(QStringLiteral("pipe.msh"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    QString text;
    AnswerMessageBox(QMessageBox::Ok, &text);
    nav->LoadFile(fifo);
    EXPECT_TRUE(text.contains(QStringLiteral("通常のファイルではありません")))
        << text.toStdString();
    EXPECT_EQ(nav->FileName(), good);
    EXPECT_EQ(nav->InputData().Title(), "元の工事");

    text.clear();
    AnswerMessageBox(QMessageBox::Ok, &text);
    EXPECT_FALSE(RunGuarded(nav, []() { throw std::bad_alloc(); }));
    EXPECT_TRUE(text.startsWith(QStringLiteral("メモリが足りません。"))) << text.toStdString();
}

TEST_F(Navigation, OpenThroughTheDialog) {
    const QString path = SaveCalculatedProject(QStringLiteral("site2.msh"), "二");
    AnswerFileDialog(QString());
    nav->LoadButtonClick();
    EXPECT_TRUE(nav->FileName().isEmpty());
    AnswerFileDialog(path);
    nav->LoadButtonClick();
    EXPECT_EQ(nav->FileName(), path);
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーション [site2]"));
}

TEST_F(Navigation, OpensTheFileGivenAtStart) {
    const QString path = SaveCalculatedProject(QStringLiteral("start.msh"), "起動時");
    const QString junk = Path(QStringLiteral("junk.msh"));
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("junk");
    }
    {
        TMainForm second;
        second.SetStartFile(path);
        second.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
        QTRY_COMPARE(second.InputForm()->FileName(), path);
        EXPECT_EQ(second.InputForm()->windowTitle(), QStringLiteral("ナビゲーション [start]"));
        EXPECT_EQ(second.InputForm()->InputData().Title(), "起動時");
    }
    {
        TMainForm third;
        third.SetStartFile(junk);
        QString text;
        AnswerMessageBox(QMessageBox::Ok, &text);
        third.show();
        QTRY_VERIFY(!text.isEmpty()); // the open failure's box, over the windows
        EXPECT_TRUE(third.InputForm()->FileName().isEmpty());
    }
    MainForm = &frame;
}

TEST_F(Navigation, SaveAsksForANameFirst) {
    AnswerFileDialog(QString());
    nav->SaveButtonClick();
    EXPECT_TRUE(nav->FileName().isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty()) << "nothing written";

    const QString path = Path(QStringLiteral("new.msh"));
    AnswerFileDialog(path);
    nav->SaveButtonClick();
    EXPECT_EQ(nav->FileName(), path);
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーション [new]"));
    TInputData reread;
    reread.FileLoad(QFile::encodeName(path).toStdString());
    EXPECT_EQ(reread.Layer(), 5); // the defaults of a new project
    EXPECT_EQ(reread.GetSolidName(2), "軟岩Ⅰ");
}

TEST_F(Navigation, SaveToAnUnwritablePlaceShowsTheError) {
    const QString path = Path(QStringLiteral("missing/folder/x.msh"));
    AnswerFileDialog(path);
    QString text;
    AnswerMessageBox(QMessageBox::Ok, &text);
    nav->SaveAsButtonClick();
    EXPECT_FALSE(text.isEmpty());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(nav->FileName().isEmpty()) << "a name that took nothing is not the project's";
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーション"));
}

// 名前を変えて保存 names the caption after the new file; 新規 asks about changes first, then
// starts on the standard settings with no file, the bare caption and only the first steps open.
TEST_F(Navigation, SaveAsRenamesAndNewStartsAfresh) {
    nav->LoadFile(SaveCalculatedProject(QStringLiteral("first.msh"), "一"));
    ASSERT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーション [first]"));
    const QString second = Path(QStringLiteral("second.msh"));
    AnswerFileDialog(second);
    ClickWidget(nav->ImageButton4);
    EXPECT_EQ(nav->FileName(), second);
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーション [second]"));
    EXPECT_TRUE(QFile::exists(second));

    nav->InputData().SetTitle("変更");
    QString text;
    AnswerMessageBox(QMessageBox::Cancel, &text);
    ClickWidget(nav->NewButton);
    EXPECT_EQ(text, QStringLiteral("変更を保存しますか？"));
    EXPECT_EQ(nav->InputData().Title(), "変更");
    AnswerMessageBox(QMessageBox::No);
    ClickWidget(nav->NewButton);
    EXPECT_EQ(nav->InputData().Title(), "");
    EXPECT_EQ(nav->InputData().MeshCount(), 0);
    EXPECT_EQ(nav->InputData().Layer(), 5);
    EXPECT_EQ(nav->FileName(), QString());
    EXPECT_EQ(nav->windowTitle(), QStringLiteral("ナビゲーション"));
    EXPECT_FALSE(nav->Modified());
    EXPECT_FALSE(nav->MeshInputButton->isEnabled());
    EXPECT_FALSE(nav->SumViewButton->isEnabled());
    TInputData reread;
    reread.FileLoad(QFile::encodeName(second).toStdString());
    EXPECT_EQ(reread.Title(), "一") << "the declined change was not written";
}

TEST_F(Navigation, LayerCountOutsideTheRangeEndsInTheErrorBox) {
    QString text, title;
    AnswerMessageBox(QMessageBox::Ok, &text, &title);
    ConfirmBaseData([this] {
        baseForm.SetTitle(QStringLiteral("第二工区"));
        baseForm.ComboBox1->setEditText(QStringLiteral("9"));
    });
    EXPECT_EQ(text, QStringLiteral("層の種類は 1～5 の間で指定してください。"));
    EXPECT_EQ(nav->InputData().Title(), "第二工区");
    EXPECT_EQ(nav->InputData().Layer(), 5);
    EXPECT_EQ(Enabled(), "11001100000") << "phases unchanged";
}

TEST_F(Navigation, ChangedLayerModeAsksWithMessageBoxes) {
    TGridData g;
    g.X = 1;
    g.Y = 1;
    g.GH = 10.0;
    g.LAYER[0] = 0.5;
    g.LAYER[1] = 2.0;
    g.LAYER[2] = 3.0;
    nav->InputData().SetMeshData(g);
    nav->InputData().SetHyoudo(true);

    QString first, second, title;
    WhenModal([this, &first, &second, &title](QWidget*) {
        baseForm.SolidTypeItem->SetItemIndex(1);
        // The second question comes after the first is answered.
        WhenModal(
            [&first, &second, &title](QWidget* w) {
                auto* box = static_cast<QMessageBox*>(w);
                first = box->text();
                title = box->windowTitle();
                EXPECT_EQ(box->icon(), QMessageBox::Question);
                EXPECT_NE(box->button(QMessageBox::Cancel), nullptr);
                AnswerMessageBox(QMessageBox::No, &second);
                box->button(QMessageBox::Yes)->click();
            },
            [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; });
        baseForm.BitBtn1->click();
    });
    nav->BaseInputClick();
    EXPECT_EQ(title, QStringLiteral("メッセージ"));
    EXPECT_TRUE(first.startsWith(QStringLiteral("層データの入力方法が変更されました。")));
    EXPECT_TRUE(second.startsWith(QStringLiteral("表土厚を考慮していますが")));
    EXPECT_EQ(nav->InputData().SolidType(), 1);
    // "No": the second layer's elevation also subtracts the topsoil.
    EXPECT_DOUBLE_EQ(nav->InputData().GetXYToData(1, 1).LAYER[1], 10.0 - 2.0 - 0.5);
}

TEST_F(Navigation, FixedSizeAndClosingOnlyMinimises) {
    const QSize size = nav->size();
    nav->resize(900, 700);
    EXPECT_EQ(nav->size(), size);
    nav->close();
    EXPECT_TRUE(nav->isMinimized());
    EXPECT_EQ(frame.MdiArea()->subWindowList().size(), 1);
    nav->showNormal();
    EXPECT_EQ(nav->size(), size);
    // Closing the frame with an unchanged project ends the program at once, with no question.
    EXPECT_TRUE(frame.close());
    EXPECT_FALSE(frame.isVisible());
}

// Closing the frame, or opening another file, asks first whether a changed project is to be
// saved: Yes saves (asking for a name when it has none), No lets it go, Cancel keeps it, and a
// save that does not happen keeps it too.
TEST_F(Navigation, ChangesAreNotLostWithoutAQuestion) {
    const auto change = [this](const char* Title) { nav->InputData().SetTitle(Title); };
    const auto closeAnswering = [this](QMessageBox::StandardButton Answer, QString* Text) {
        AnswerMessageBox(Answer, Text);
        return frame.close();
    };
    QString text;
    change("造成");
    EXPECT_FALSE(closeAnswering(QMessageBox::Cancel, &text));
    EXPECT_EQ(text, QStringLiteral("変更を保存しますか？"));
    EXPECT_TRUE(frame.isVisible());

    // Yes without a name: the save dialog; cancelling it, or a save that fails, keeps all.
    AnswerFileDialog(QString());
    EXPECT_FALSE(closeAnswering(QMessageBox::Yes, nullptr));
    EXPECT_TRUE(frame.isVisible());
    const QString unwritable = Path(QStringLiteral("missing/folder/x.msh"));
    AnswerFileDialog(unwritable);
    WhenModal(
        [](QWidget* w) {
            auto* box = static_cast<QMessageBox*>(w);
            AnswerMessageBox(QMessageBox::Ok); // then the error box of the failed save
            box->button(QMessageBox::Yes)->click();
        },
        [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; });
    EXPECT_FALSE(frame.close());
    EXPECT_TRUE(frame.isVisible());
    EXPECT_FALSE(QFile::exists(unwritable));

    // Saved under a name: unchanged since, closing asks nothing.
    const QString path = Path(QStringLiteral("kept.msh"));
    AnswerFileDialog(path);
    nav->SaveAsButtonClick();
    EXPECT_FALSE(nav->Modified());
    EXPECT_TRUE(frame.close());

    // Yes with a name: saved there, and the frame closes.
    frame.show();
    change("造成二");
    EXPECT_TRUE(closeAnswering(QMessageBox::Yes, nullptr));
    TInputData reread;
    reread.FileLoad(QFile::encodeName(path).toStdString());
    EXPECT_EQ(reread.Title(), "造成二");

    // Opening another file asks the same first; Cancel shows no open dialog at all.
    frame.show();
    const QString other = SaveCalculatedProject(QStringLiteral("other.msh"), "別工事");
    change("第二");
    bool dialogShown = false;
    QTimer watch; // stopped when the handler returns
    watch.setInterval(5);
    QObject::connect(&watch, &QTimer::timeout, [&dialogShown]() {
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialogShown = true;
            d->reject();
        }
    });
    watch.start();
    AnswerMessageBox(QMessageBox::Cancel, &text);
    nav->LoadButtonClick();
    watch.stop();
    EXPECT_EQ(text, QStringLiteral("変更を保存しますか？"));
    EXPECT_FALSE(dialogShown);
    EXPECT_EQ(nav->InputData().Title(), "第二");
    // No: the change goes and the other file opens, unchanged as read.
    AnswerMessageBox(QMessageBox::No);
    AnswerFileDialog(other);
    nav->LoadButtonClick();
    EXPECT_EQ(nav->InputData().Title(), "別工事");
    EXPECT_FALSE(nav->Modified());
    reread.FileLoad(QFile::encodeName(path).toStdString());
    EXPECT_EQ(reread.Title(), "造成二") << "the declined change was not written";
    EXPECT_TRUE(frame.close());
}

TEST(NavigationCaption, OnlyTheLastExtensionGoes) {
    const std::pair<const char*, const char*> cases[] = {
        {"/work/site1.msh", "ナビゲーション [site1]"},
        {"/d/a.b/plan.old.msh", "ナビゲーション [plan.old]"},
        {"/d/a.b/plan", "ナビゲーション [plan]"},
    };
    for (auto [path, caption] : cases)
        EXPECT_EQ(TInputForm::CaptionFor(QString::fromUtf8(path)), QString::fromUtf8(caption));
}

// Survey data in through the "取込" button: the dialog filled by keys and clicks, the preview,
// then OK registers the meshes in one step; cancelling leaves the project as it was.
TEST_F(Navigation, ImportsSurveyDataThroughTheDialog) {
    EXPECT_FALSE(nav->ImportButton->isEnabled());
    ConfirmBaseData([] {});
    ASSERT_TRUE(nav->ImportButton->isEnabled());
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return Path(name);
    };
    QByteArray points = "X,Y,Z\n";
    for (int n = 0; n <= 60; n += 20)
        for (int e = 0; e <= 60; e += 20)
            points += QByteArray::number(n) + ',' + QByteArray::number(e) + ',' +
                      QByteArray::number(10 + e / 20) + '\n';
    const QString ground = write(QStringLiteral("ground.csv"), points);
    const QString plan =
        write(QStringLiteral("plan.xml"),
              "<LandXML><Surfaces><Surface name=\"P\"><Definition surfType=\"TIN\"><Pnts>"
              "<P id=\"1\">0 0 11</P><P id=\"2\">0 60 11</P><P id=\"3\">60 0 11</P>"
              "<P id=\"4\">60 60 11</P></Pnts><Faces><F>1 2 4</F><F>1 4 3</F></Faces>"
              "</Definition></Surface></Surfaces></LandXML>");
    const std::string before = nav->InputData().SaveToBytes();

    QString summary;
    const auto fill = [&](TSurveyImportForm* f) {
        QTest::keyClicks(f->Ground.Path, ground);
        QTest::keyClicks(f->Plan.Path, plan);
        QTest::keyClicks(f->OriginN, QStringLiteral("0"));
        QTest::keyClicks(f->OriginE, QStringLiteral("0"));
        EXPECT_FALSE(f->OkButton->isEnabled());
        QTest::mouseClick(f->PreviewButton, Qt::LeftButton);
        summary = f->Summary->toPlainText();
    };
    WhenModal([&](QWidget* w) {
        auto* f = qobject_cast<TSurveyImportForm*>(w);
        ASSERT_NE(f, nullptr);
        fill(f);
        QTest::mouseClick(f->CancelButton, Qt::LeftButton);
    });
    QTest::mouseClick(nav->ImportButton, Qt::LeftButton);
    EXPECT_EQ(nav->InputData().SaveToBytes(), before);
    EXPECT_TRUE(summary.contains(QStringLiteral("新規 16、更新 0"))) << summary.toStdString();

    WhenModal([&](QWidget* w) {
        auto* f = qobject_cast<TSurveyImportForm*>(w);
        ASSERT_NE(f, nullptr);
        fill(f);
        EXPECT_EQ(f->Plan.Kind->currentText(), QStringLiteral("LandXML"));
        ASSERT_TRUE(f->OkButton->isEnabled());
        QTest::keyClicks(f->Angle, QStringLiteral("0")); // a change asks for a new preview
        EXPECT_FALSE(f->OkButton->isEnabled());
        QTest::mouseClick(f->PreviewButton, Qt::LeftButton);
        QTest::mouseClick(f->OkButton, Qt::LeftButton);
    });
    QTest::mouseClick(nav->ImportButton, Qt::LeftButton);
    TInputData& d = nav->InputData();
    EXPECT_EQ(d.GetInputMeshCount(), 16); // span 20: mesh 0..3 each way
    EXPECT_DOUBLE_EQ(d.GetXYToData(3, 0).GH, 13.0);
    EXPECT_DOUBLE_EQ(d.GetXYToData(3, 0).FH, 11.0);
    EXPECT_TRUE(d.GetPhase(1));
    EXPECT_TRUE(nav->CalcButton->isEnabled());
    EXPECT_TRUE(d.HasTag("survey"));

    // Opened again, the dialog brings back the files as chosen, and the preview runs on them.
    WhenModal([&](QWidget* w) {
        auto* f = qobject_cast<TSurveyImportForm*>(w);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->Ground.Path->text(), ground);
        EXPECT_EQ(f->Ground.Kind->currentText(), QStringLiteral("点ファイル"));
        EXPECT_EQ(f->Plan.Path->text(), plan);
        EXPECT_EQ(f->Plan.Kind->currentText(), QStringLiteral("LandXML"));
        EXPECT_EQ(f->OriginN->text(), QStringLiteral("0"));
        QTest::mouseClick(f->PreviewButton, Qt::LeftButton);
        EXPECT_TRUE(f->OkButton->isEnabled()) << f->Summary->toPlainText().toStdString();
        QTest::mouseClick(f->CancelButton, Qt::LeftButton);
    });
    QTest::mouseClick(nav->ImportButton, Qt::LeftButton);
}
