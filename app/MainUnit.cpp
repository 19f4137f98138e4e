#include "MainUnit.h"

#include "app/DataForm.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QMdiArea>
#include <QTimer>

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(QWidget* AOwner) : QMainWindow(AOwner) {
    setWindowTitle(QStringLiteral("土量計算システム"));
    QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
    f.setPixelSize(12);
    setFont(f);
    setGeometry(216, 139, 696, 480);
    FMdiArea = new QMdiArea(this);
    setCentralWidget(FMdiArea);
}

TMainForm::~TMainForm() {
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::showEvent(QShowEvent* Event) {
    QMainWindow::showEvent(Event);
    if (!FInputForm)
        FormShow();
}

void TMainForm::closeEvent(QCloseEvent* Event) {
    // Cancel, or a save that did not happen, keeps the program and the project.
    if (FInputForm && !FInputForm->CanLeaveProject()) {
        Event->ignore();
        return;
    }
    QMainWindow::closeEvent(Event);
}

void TMainForm::FormShow() {
    FInputForm = new TInputForm;
    FMdiArea->addSubWindow(FInputForm);
    FInputForm->adjustSize();
    FInputForm->move(0, 0);
    FInputForm->show();
    if (!FStartFile.isEmpty()) {
        // Once the windows are up, so that a failure's box shows over them.
        const QString file = QFileInfo(FStartFile).absoluteFilePath();
        TInputForm* form = FInputForm;
        QTimer::singleShot(0, form, [form, file]() { form->LoadFile(file); });
    }
}
