#pragma once
// doryou-cli import: survey files onto a project's mesh.

#include <string>
#include <vector>

// The exit code; -1 when the arguments are wrong (the caller shows the usage).
int Import(const std::vector<std::string>& Args);
