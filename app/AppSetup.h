#pragma once
// Start-up settings shared by the program and its window tests: the Japanese fonts the windows
// ask for by name, and the user's number format.

void SetupApplication();
