#include "RadioGroup.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QRadioButton>

TRadioGroup::TRadioGroup(const QString& Caption, const QStringList& Items, QWidget* AOwner)
    : QGroupBox(Caption, AOwner) {
    for (const QString& text : Items) {
        auto* b = new QRadioButton(text, this);
        // Exclusivity is kept here rather than by auto-exclusive buttons, which cannot show
        // "nothing selected" once one was checked.
        b->setAutoExclusive(false);
        const int index = static_cast<int>(FButtons.size());
        connect(b, &QRadioButton::clicked, this, [this, index]() { Pick(index); });
        b->installEventFilter(this);
        FButtons.push_back(b);
    }
    ArrangeButtons();
    UpdateTabStop();
}

void TRadioGroup::Pick(int Index) {
    SetItemIndex(Index);
    emit clicked();
}

bool TRadioGroup::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(Event)->key();
        const int step = (key == Qt::Key_Down || key == Qt::Key_Right) ? 1
                         : (key == Qt::Key_Up || key == Qt::Key_Left)  ? -1
                                                                       : 0;
        if (step != 0) {
            int at = 0;
            for (size_t i = 0; i < FButtons.size(); ++i)
                if (FButtons[i] == Watched)
                    at = static_cast<int>(i);
            const int next = at + step;
            if (next >= 0 && next < Count()) {
                Pick(next);
                Button(next)->setFocus(Qt::TabFocusReason);
            }
            return true;
        }
    }
    return QGroupBox::eventFilter(Watched, Event);
}

void TRadioGroup::UpdateTabStop() {
    const int stop = ItemIndex() < 0 ? 0 : ItemIndex();
    for (int i = 0; i < Count(); ++i)
        Button(i)->setFocusPolicy(i == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

int TRadioGroup::ItemIndex() const {
    for (size_t i = 0; i < FButtons.size(); ++i)
        if (FButtons[i]->isChecked())
            return static_cast<int>(i);
    return -1;
}

void TRadioGroup::SetItemIndex(int Value) {
    for (size_t i = 0; i < FButtons.size(); ++i)
        FButtons[i]->setChecked(static_cast<int>(i) == Value);
    UpdateTabStop();
}

void TRadioGroup::resizeEvent(QResizeEvent* Event) {
    QGroupBox::resizeEvent(Event);
    ArrangeButtons();
}

void TRadioGroup::ArrangeButtons() {
    if (FButtons.empty())
        return;
    const int top = QFontMetrics(font()).height() + 1;
    const int n = static_cast<int>(FButtons.size());
    const int step = (height() - top - 2) / n;
    for (int i = 0; i < n; ++i) {
        const int h = FButtons[static_cast<size_t>(i)]->sizeHint().height();
        FButtons[static_cast<size_t>(i)]->setGeometry(8, top + i * step + (step - h) / 2,
                                                      width() - 10, h);
    }
}
