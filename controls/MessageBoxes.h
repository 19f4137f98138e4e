#pragma once
// The standard boxes of the windows: the error box that ends a failed operation, the
// questions the model asks, and notices.

#include "model/DataUnit.h"
#include "platform/Failure.h"

#include <QString>

#include <exception>
#include <string>
#include <utility>

class QWidget;

void ShowFailure(QWidget* Parent, const QString& Text);

// Runs one user operation; a failure ends it with the standard error box and is not passed
// on, so the program goes on with the state reached so far. True when it ran through.
template <class TOperation> bool RunGuarded(QWidget* Parent, TOperation&& Operation) {
    try {
        std::forward<TOperation>(Operation)();
        return true;
    } catch (const std::exception& e) {
        ShowFailure(Parent, QString::fromStdString(FailureText(e)));
    }
    return false;
}

// A question box titled "メッセージ" with the question icon; the text's lines are "\n"
// separated. Closing the box counts as the last button offered (No or Cancel).
TQuestionAnswer AskQuestion(QWidget* Parent, const std::string& Text, TQuestionButtons Buttons);

// A notice titled "メッセージ" with the information icon.
void ShowInformation(QWidget* Parent, const QString& Text);
