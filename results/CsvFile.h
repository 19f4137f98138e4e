#pragma once
// The comma-separated exports of the result windows: the save dialog they share and the write
// of a text built by the core (the same text that doryou-cli writes).

#include <QString>

#include <string>

class QWidget;

// Asks for the file to write; empty when the user cancelled.
QString AskCsvFileName(QWidget* Parent);

// Writes the UTF-8 text as code page 932 through a temporary file. Throws EFailure.
void WriteCsvText(const QString& FileName, const std::string& Text);
