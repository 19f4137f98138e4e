#pragma once
// A titled group of mutually exclusive choices with one selected item index (-1: none),
// laid out as one column of evenly spaced radio buttons.

#include <QGroupBox>
#include <QStringList>

#include <vector>

class QRadioButton;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& Caption, const QStringList& Items, QWidget* AOwner);

    int ItemIndex() const;
    // An index outside the items selects none.
    void SetItemIndex(int Value);
    QRadioButton* Button(int Index) const { return FButtons.at(static_cast<size_t>(Index)); }
    int Count() const { return static_cast<int>(FButtons.size()); }

signals:
    // The user picked an item.
    void clicked();

protected:
    void resizeEvent(QResizeEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ArrangeButtons();
    // One tab stop for the whole group: the selected item, or the first when none is.
    void UpdateTabStop();
    void Pick(int Index);

    std::vector<QRadioButton*> FButtons;
};
