#include "SoakDriver.h"

#include "SoakGuard.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

struct TKey {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    int Weight;
};

constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers Alt = Qt::AltModifier;

// Keys a user presses in forms and grids, weighted by how often. Escape closes most windows,
// so it is kept rare enough for a window to be explored first.
const TKey Keys[] = {
    {Qt::Key_Tab, None, 8},       {Qt::Key_Backtab, Shift, 2}, {Qt::Key_Return, None, 8},
    {Qt::Key_Enter, None, 2},     {Qt::Key_Escape, None, 2},   {Qt::Key_Space, None, 4},
    {Qt::Key_Up, None, 3},        {Qt::Key_Down, None, 4},     {Qt::Key_Left, None, 3},
    {Qt::Key_Right, None, 4},     {Qt::Key_Home, None, 1},     {Qt::Key_End, None, 1},
    {Qt::Key_PageUp, None, 2},    {Qt::Key_PageDown, None, 2}, {Qt::Key_Delete, None, 3},
    {Qt::Key_Backspace, None, 3}, {Qt::Key_F2, None, 2},       {Qt::Key_F1, None, 1},
    {Qt::Key_F4, None, 1},        {Qt::Key_F5, None, 1},       {Qt::Key_Insert, None, 1},
    {Qt::Key_A, Ctrl, 1},         {Qt::Key_C, Ctrl, 1},        {Qt::Key_V, Ctrl, 1},
    {Qt::Key_X, Ctrl, 1},         {Qt::Key_Z, Ctrl, 1},        {Qt::Key_Y, Ctrl, 1},
    {Qt::Key_P, Ctrl, 1},         {Qt::Key_S, Ctrl, 1},        {Qt::Key_Home, Ctrl, 1},
    {Qt::Key_End, Ctrl, 1},       {Qt::Key_Tab, Ctrl, 1},      {Qt::Key_Down, Alt, 1},
    {Qt::Key_Down, Shift, 1},     {Qt::Key_Right, Shift, 1},   {Qt::Key_End, Shift, 1},
    {Qt::Key_Y, Alt, 1},          {Qt::Key_N, Alt, 1},         {Qt::Key_Menu, None, 1},
    {Qt::Key_Plus, None, 1},      {Qt::Key_Minus, None, 1},    {Qt::Key_Minus, Ctrl, 1},
    {Qt::Key_Plus, Ctrl, 1},      {Qt::Key_PageDown, Ctrl, 1}, {Qt::Key_F4, Alt, 1},
};

// Names the file dialogs are answered with, besides the files already in the folder: odd
// characters, a missing folder, a name of 250 bytes, names of the other file kinds.
QStringList NewNames() {
    QString longJapanese; // 240 bytes of UTF-8, and a name past the 255 bytes allowed
    while (longJapanese.size() < 84)
        longJapanese += QStringLiteral("長い名前の工事");
    return {QStringLiteral("新しい工事.msh"),
            QStringLiteral("out.csv"),
            QStringLiteral("一覧 (1).csv"),
            QStringLiteral("report.pdf"),
            QStringLiteral("印刷.pdf"),
            QStringLiteral("a b c.txt"),
            QStringLiteral("x"),
            QStringLiteral(".hidden.csv"),
            QStringLiteral("memo.doc"),
            QStringLiteral("export.rtf"),
            QStringLiteral("missing/new.csv"),
            QStringLiteral("sub/inner.msh"),
            QStringLiteral("sub"),
            longJapanese.left(80) + QStringLiteral(".csv"),
            longJapanese + QStringLiteral(".csv"),
            QString(246, QLatin1Char('n')) + QStringLiteral(".csv")};
}

bool IsInteractive(const QWidget* W) {
    if (qobject_cast<const QAbstractButton*>(W) || qobject_cast<const QLineEdit*>(W) ||
        qobject_cast<const QAbstractSpinBox*>(W) || qobject_cast<const QComboBox*>(W) ||
        qobject_cast<const QTabBar*>(W) || qobject_cast<const QAbstractSlider*>(W) ||
        qobject_cast<const QMenuBar*>(W) || qobject_cast<const QMenu*>(W))
        return true;
    // Views, grids, text boxes and painted pages take their input in the viewport.
    const auto* area = qobject_cast<const QAbstractScrollArea*>(W->parentWidget());
    return area && area->viewport() == W;
}

Qt::KeyboardModifiers RandomModifiers(TSoakRandom& R) {
    const Qt::KeyboardModifiers choices[] = {None, None, None,  None, None,
                                             None, None, Shift, Ctrl, Alt};
    return choices[R.Below(static_cast<int>(std::size(choices)))];
}

QString ModifierText(Qt::KeyboardModifiers Modifiers) {
    QString s;
    if (Modifiers & Qt::ControlModifier)
        s += QStringLiteral("Ctrl+");
    if (Modifiers & Qt::AltModifier)
        s += QStringLiteral("Alt+");
    if (Modifiers & Qt::ShiftModifier)
        s += QStringLiteral("Shift+");
    return s;
}

} // namespace

TSoakDriver::TSoakDriver(const TSoakOptions& Options, QWidget* Frame, const QString& Folder)
    : FOptions(Options), FRandom(Options.Seed), FFrame(Frame), FFolder(Folder) {
    if (!FOptions.LogFile.isEmpty()) {
        FLog.setFileName(FOptions.LogFile);
        if (!FLog.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            std::fprintf(stderr, "soak: cannot write the log %s\n", qPrintable(FOptions.LogFile));
    }
}

void TSoakDriver::Start() {
    FClock.start();
    QTimer::singleShot(0, this, &TSoakDriver::Step);
}

// --- The step

void TSoakDriver::Step() {
    if (FDone)
        return;
    // The next step first: should this one open a modal window, the step after it runs in
    // that window's event loop.
    QTimer::singleShot(0, this, &TSoakDriver::Step);
    ++FStep;
    if (FStep % 2000 == 0)
        std::fprintf(stderr, "soak: step %lld, %.1f min\n", FStep, FClock.elapsed() / 60000.0);
    const bool timeUp = FOptions.Minutes > 0 && FClock.elapsed() >= FOptions.Minutes * 60000;
    const bool stepsDone = FOptions.Steps > 0 && FStep > FOptions.Steps;
    if (!FStopping && (timeUp || stepsDone)) {
        FStopping = true;
        FStopTime = FClock.elapsed();
        Log(QStringLiteral("stop: closing every window"));
    }
    if (FStopping) {
        Unwind();
        return;
    }
    if (ProgressWindow()) {
        ++FBesideProgress;
        FLongestProgress = std::max(FLongestProgress, ++FProgressRun);
    } else {
        FProgressRun = 0;
    }
    QWidget* window = CurrentWindow();
    if (!window)
        return;
    ++FWindowSteps[QString::fromLatin1(window->metaObject()->className())];
    if (auto* files = qobject_cast<QFileDialog*>(window)) {
        AnswerFileDialog(files);
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(window); box && FRandom.Chance(85)) {
        AnswerMessageBox(box);
        return;
    }
    Act(window);
}

QWidget* TSoakDriver::CurrentWindow() {
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (!FFrame)
        return nullptr;
    // A user brings back what was closed or minimised; the frame's closing would end the
    // program, and the navigation window only minimises.
    if (!FFrame->isVisible()) {
        Log(QStringLiteral("show the frame again"));
        FFrame->show();
    }
    for (QMdiSubWindow* sub : FFrame->findChildren<QMdiSubWindow*>())
        if (sub->isMinimized() && FRandom.Chance(10)) {
            Log(QStringLiteral("restore ") + Describe(sub));
            sub->showNormal();
        }
    return FFrame;
}

void TSoakDriver::Act(QWidget* Window) {
    QWidget* w = PickControl(Window);
    enum {
        Click1,
        Click2,
        DragIt,
        WheelIt,
        HoverIt,
        Menu,
        KeyIt,
        TypeIt,
        Compose,
        Paste,
        Size,
        Close
    };
    const int weights[] = {34, 6, 4, 4, 2, 2, 22, 16, 3, 4, 1, 1};
    switch (FRandom.Weighted(weights, static_cast<int>(std::size(weights)))) {
    case Click1:
        Click(w, false);
        break;
    case Click2:
        Click(w, true);
        break;
    case DragIt:
        Drag(w);
        break;
    case WheelIt:
        Wheel(w);
        break;
    case HoverIt:
        Hover(w);
        break;
    case Menu:
        ContextMenu(w);
        break;
    case KeyIt:
        PressKey(Window, w);
        break;
    case TypeIt:
        TypeText(Window, w);
        break;
    case Compose:
        ComposeText(Window, w);
        break;
    case Paste:
        PasteText(Window, w);
        break;
    case Size: {
        const int width = FRandom.Between(1, 1600);
        const QSize size(width, FRandom.Between(1, 1200));
        if (Window->windowType() == Qt::Popup)
            break;
        Log(QStringLiteral("resize %1 to %2x%3")
                .arg(Describe(Window))
                .arg(size.width())
                .arg(size.height()));
        Window->resize(size);
        break;
    }
    case Close:
        if (Window == FFrame)
            break;
        Log(QStringLiteral("close ") + Describe(Window));
        Window->close();
        break;
    }
}

QWidget* TSoakDriver::PickControl(QWidget* Window) {
    QList<QWidget*> controls{Window};
    std::vector<int> weights{1};
    for (QWidget* c : Window->findChildren<QWidget*>()) {
        if (!c->isVisible() || !c->isEnabled() || c->window() != Window || c->width() < 1 ||
            c->height() < 1)
            continue;
        controls.append(c);
        weights.push_back(IsInteractive(c) ? 6 : 1);
    }
    return controls[FRandom.Weighted(weights.data(), static_cast<int>(weights.size()))];
}

QWidget* TSoakDriver::KeyReceiver(QWidget* Window, QWidget* Fallback) const {
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus->isVisible() && (focus == Window || Window->isAncestorOf(focus)))
        return focus;
    return Fallback;
}

// --- Answers

void TSoakDriver::AnswerMessageBox(QMessageBox* Box) {
    ++FMessageBoxes;
    const QList<QAbstractButton*> buttons = Box->buttons();
    if (buttons.isEmpty()) {
        Log(QStringLiteral("message box without buttons: reject"));
        Box->reject();
        return;
    }
    QAbstractButton* b = buttons[FRandom.Below(static_cast<int>(buttons.size()))];
    QString text = Box->text();
    text.replace(FFolder, QStringLiteral("$FILES"));
    Log(QStringLiteral("answer %1 with %2").arg(Shown(text), Describe(b)));
    b->click();
}

void TSoakDriver::AnswerFileDialog(QFileDialog* Dialog) {
    ++FFileDialogs;
    if (FRandom.Chance(25)) {
        Log(QStringLiteral("file dialog: cancel"));
        Dialog->reject();
        return;
    }
    static const QStringList fresh = NewNames();
    const QStringList present = QDir(FFolder).entryList(
        QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    const QString name = !present.isEmpty() && FRandom.Chance(50)
                             ? present[FRandom.Below(static_cast<int>(present.size()))]
                             : fresh[FRandom.Below(static_cast<int>(fresh.size()))];
    Dialog->setDirectory(FFolder);
    Dialog->selectFile(FFolder + QLatin1Char('/') + name);
    for (const QString& f : Dialog->selectedFiles())
        if (f != FFolder && !f.startsWith(FFolder + QLatin1Char('/'))) {
            // Never reached with the names above; the promise not to write elsewhere holds.
            std::fprintf(stderr, "soak: the file dialog's answer %s leaves the sandbox: %s\n",
                         qPrintable(name), qPrintable(f));
            std::abort();
        }
    Log(QStringLiteral("file dialog (%1): %2")
            .arg(Dialog->acceptMode() == QFileDialog::AcceptSave ? QStringLiteral("save")
                                                                 : QStringLiteral("open"),
                 Shown(name)));
    static_cast<QDialog*>(Dialog)->accept(); // QFileDialog's own accept, through the base
}

// --- Mouse

QPoint TSoakDriver::RandomPoint(const QWidget* W) {
    // One draw a statement: the order of a call's arguments is the compiler's choice.
    const int x = FRandom.Below(W->width());
    return QPoint(x, FRandom.Below(W->height()));
}

void TSoakDriver::Click(QWidget* W, bool Double) {
    const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::LeftButton,  Qt::LeftButton,
                                       Qt::LeftButton, Qt::LeftButton,  Qt::LeftButton,
                                       Qt::LeftButton, Qt::RightButton, Qt::MiddleButton};
    const Qt::MouseButton button = buttons[FRandom.Below(static_cast<int>(std::size(buttons)))];
    const Qt::KeyboardModifiers mods = RandomModifiers(FRandom);
    const QPoint p = RandomPoint(W);
    const QString name = button == Qt::LeftButton    ? QStringLiteral("left")
                         : button == Qt::RightButton ? QStringLiteral("right")
                                                     : QStringLiteral("middle");
    Log(QStringLiteral("%1%2 %3 %4 at %5,%6")
            .arg(ModifierText(mods),
                 Double ? QStringLiteral("double-click") : QStringLiteral("click"), name,
                 Describe(W))
            .arg(p.x())
            .arg(p.y()));
    if (Double)
        QTest::mouseDClick(W, button, mods, p);
    else
        QTest::mouseClick(W, button, mods, p);
}

void TSoakDriver::Drag(QWidget* W) {
    QPointer<QWidget> guard(W);
    QPoint p = RandomPoint(W);
    const int moves = FRandom.Between(1, 4);
    Log(QStringLiteral("drag %1 from %2,%3 in %4 moves")
            .arg(Describe(W))
            .arg(p.x())
            .arg(p.y())
            .arg(moves));
    QTest::mousePress(W, Qt::LeftButton, None, p);
    for (int k = 0; k < moves && guard; ++k) {
        p = RandomPoint(guard);
        QTest::mouseMove(guard, p);
    }
    if (guard)
        QTest::mouseRelease(guard, Qt::LeftButton, None, p);
    else // the press opened something that took the widget away
        QTestPrivate::qtestMouseButtons = Qt::NoButton;
}

void TSoakDriver::Wheel(QWidget* W) {
    const QPoint p = RandomPoint(W);
    const int notches = FRandom.Between(1, 3);
    const int delta = 120 * notches * (FRandom.Chance(50) ? 1 : -1);
    const Qt::KeyboardModifiers mods = RandomModifiers(FRandom);
    Log(QStringLiteral("%1wheel %2 by %3").arg(ModifierText(mods), Describe(W)).arg(delta));
    QWheelEvent e(p, W->mapToGlobal(p), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(W, &e);
}

void TSoakDriver::Hover(QWidget* W) {
    const QPoint p = RandomPoint(W);
    Log(QStringLiteral("hover %1 at %2,%3").arg(Describe(W)).arg(p.x()).arg(p.y()));
    QMouseEvent e(QEvent::MouseMove, p, W->mapToGlobal(p), Qt::NoButton, Qt::NoButton, None);
    QApplication::sendEvent(W, &e);
}

void TSoakDriver::ContextMenu(QWidget* W) {
    const QPoint p = RandomPoint(W);
    Log(QStringLiteral("context menu %1 at %2,%3").arg(Describe(W)).arg(p.x()).arg(p.y()));
    QContextMenuEvent e(QContextMenuEvent::Mouse, p, W->mapToGlobal(p), None);
    QApplication::sendEvent(W, &e);
}

// --- Keyboard

void TSoakDriver::PressKey(QWidget* Window, QWidget* W) {
    QWidget* r = KeyReceiver(Window, W);
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    if (FRandom.Chance(6)) { // a mnemonic or an accelerator of a letter
        key = Qt::Key(Qt::Key_A + FRandom.Below(26));
        mods = FRandom.Chance(70) ? Alt : Ctrl;
    } else {
        int weights[std::size(Keys)];
        for (size_t k = 0; k < std::size(Keys); ++k)
            weights[k] = Keys[k].Weight;
        const TKey& pick = Keys[FRandom.Weighted(weights, static_cast<int>(std::size(Keys)))];
        key = pick.Key;
        mods = pick.Modifiers;
    }
    Log(QStringLiteral("key %1 to %2")
            .arg(QKeySequence(QKeyCombination(mods, key)).toString(), Describe(r)));
    QTest::keyClick(r, key, mods);
}

void TSoakDriver::TypeText(QWidget* Window, QWidget* W) {
    const QString text = TextFor(KeyReceiver(Window, W));
    if (text.size() > 48) { // long texts arrive at once, as a user pastes or converts them
        if (FRandom.Chance(50))
            PasteText(Window, W);
        else
            ComposeText(Window, W);
        return;
    }
    QPointer<QWidget> window(Window);
    Log(QStringLiteral("type %1 into %2").arg(Shown(text), Describe(KeyReceiver(Window, W))));
    for (int i = 0; i < text.size(); ++i) {
        // Each key goes where the focus is now; a key that opened another window ends typing.
        if (!window || CurrentWindow() != window)
            return;
        QWidget* r = KeyReceiver(window, window);
        QString piece = text.mid(i, 1);
        if (text[i].isHighSurrogate() && i + 1 < text.size())
            piece = text.mid(i++, 2);
        const char16_t c = piece[0].unicode();
        if (piece.size() == 1 && c >= 0x20 && c < 0x7f)
            QTest::keyClick(r, char(c));
        else
            QTest::sendKeyEvent(QTest::Click, r, Qt::Key_unknown, piece, None);
    }
}

void TSoakDriver::ComposeText(QWidget* Window, QWidget* W) {
    QWidget* r = KeyReceiver(Window, W);
    const QString text = TextFor(r);
    const bool commit = FRandom.Chance(90);
    Log(QStringLiteral("compose %1 into %2%3")
            .arg(Shown(text), Describe(r),
                 commit ? QString() : QStringLiteral(" (left uncommitted)")));
    QPointer<QWidget> guard(r);
    QInputMethodEvent preedit(
        text, {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, int(text.size()), 1)});
    QApplication::sendEvent(r, &preedit);
    if (!commit || !guard)
        return;
    QInputMethodEvent done;
    done.setCommitString(text);
    QApplication::sendEvent(guard, &done);
}

void TSoakDriver::PasteText(QWidget* Window, QWidget* W) {
    QWidget* r = KeyReceiver(Window, W);
    const QString text = TextFor(r);
    Log(QStringLiteral("paste %1 into %2").arg(Shown(text), Describe(r)));
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(r, Qt::Key_V, Ctrl);
}

// Grids, their cell editors and number boxes mostly get numbers, as their users type them;
// the rest of the time whatever a user might.
QString TSoakDriver::TextFor(const QWidget* Receiver) {
    bool numeric = qobject_cast<const QAbstractSpinBox*>(Receiver) != nullptr;
    for (const QWidget* w = Receiver; w && !numeric && !w->isWindow(); w = w->parentWidget())
        numeric = qobject_cast<const QAbstractItemView*>(w) != nullptr;
    if (const auto* edit = qobject_cast<const QLineEdit*>(Receiver); edit && edit->validator())
        numeric = true;
    return numeric && FRandom.Chance(70) ? SoakNumber(FRandom) : SoakText(FRandom);
}

// --- Closing at the end

QWidget* TSoakDriver::ProgressWindow() const {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != FFrame && w->isVisible() && !w->isModal() && w->windowType() != Qt::Popup &&
            w->windowType() != Qt::ToolTip && !qobject_cast<QFileDialog*>(w))
            return w;
    return nullptr;
}

void TSoakDriver::Unwind() {
    // A job that shows its progress in a window of its own keeps its window open until it is
    // done, and lets events through meanwhile: a user waits for it, and so does the driver.
    if (QWidget* progress = ProgressWindow()) {
        if (!FWaiting)
            Log(QStringLiteral("stop: wait for ") + Describe(progress));
        FWaiting = true;
        if (FClock.elapsed() - FStopTime < 15 * 60000)
            return;
    }
    FWaiting = false;
    if (++FUnwindSteps > 400 || FClock.elapsed() - FStopTime >= 15 * 60000) {
        Log(QStringLiteral("stop: a window cannot be closed"));
        std::fprintf(stderr, "soak: FAILED: %s cannot be closed\n",
                     qPrintable(Describe(QApplication::activeModalWidget())));
        FDone = true;
        QCoreApplication::exit(2);
        return;
    }
    if (QWidget* popup = QApplication::activePopupWidget()) {
        Log(QStringLiteral("stop: close ") + Describe(popup));
        popup->close();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
        FDone = true;
        FUnwound = true;
        QCoreApplication::exit(0);
        return;
    }
    Log(QStringLiteral("stop: close ") + Describe(modal));
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        QAbstractButton* b = box->escapeButton();
        if (!b && !box->buttons().isEmpty())
            b = box->buttons().constLast();
        if (b) {
            b->click();
            return;
        }
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

// --- Reporting

void TSoakDriver::Note(const QString& Text) {
    Log(QStringLiteral("  (%1)").arg(Text));
}

void TSoakDriver::Log(const QString& Text) {
    // The sandbox's name differs from run to run; the logs of one seed should not.
    QString text = Text;
    text.replace(FFolder, QStringLiteral("$FILES"));
    const QByteArray line = QStringLiteral("%1 %2").arg(FStep).arg(text).toUtf8();
    SoakGuard::Record(line.toStdString());
    if (FLog.isOpen()) {
        FLog.write(line + '\n');
        FLog.flush();
    }
}

QString TSoakDriver::Describe(const QWidget* W) {
    if (!W)
        return QStringLiteral("(none)");
    QString s = QString::fromLatin1(W->metaObject()->className());
    if (!W->objectName().isEmpty())
        s += QLatin1Char('#') + W->objectName();
    s += QStringLiteral("[%1x%2]").arg(W->width()).arg(W->height());
    if (const auto* b = qobject_cast<const QAbstractButton*>(W); b && !b->text().isEmpty())
        s += QLatin1Char(' ') + Shown(b->text());
    else if (W->isWindow() && !W->windowTitle().isEmpty())
        s += QLatin1Char(' ') + Shown(W->windowTitle());
    return s;
}

QString TSoakDriver::Shown(const QString& Text) {
    QString s = QStringLiteral("\"");
    for (int i = 0; i < Text.size() && i < 40; ++i) {
        const QChar c = Text[i];
        if (c.isPrint())
            s += c;
        else
            s += QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0'));
    }
    s += QLatin1Char('"');
    if (Text.size() > 40)
        s += QStringLiteral("...(%1 chars)").arg(Text.size());
    return s;
}

QString TSoakDriver::Summary() const {
    QString s = QStringLiteral("steps %1; file dialogs answered %2; message boxes answered %3\n")
                    .arg(FStep)
                    .arg(FFileDialogs)
                    .arg(FMessageBoxes);
    s += QStringLiteral("steps while a progress window showed %1, the longest job %2 steps\n")
             .arg(FBesideProgress)
             .arg(FLongestProgress);
    s += QStringLiteral("steps by window:");
    for (auto it = FWindowSteps.begin(); it != FWindowSteps.end(); ++it)
        s += QStringLiteral(" %1 %2;").arg(it.key()).arg(it.value());
    return s;
}
