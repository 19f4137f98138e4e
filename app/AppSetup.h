#pragma once
// Start-up settings shared by the program and its window tests: the Japanese fonts the windows
// ask for by name, Japanese for Qt's own dialogs, and the user's number format.

void SetupApplication();
// Qt's own texts (file dialogs, standard buttons) in Japanese and Japanese the default locale,
// whatever the system's language; part of SetupApplication. The number format keeps the
// system's separators.
void SetupJapaneseInterface();
