#pragma once
// doryou-cli report: the printed reports and the input listing as a PDF of whole sheets,
// composed through the windows' own routines. Built only together with the windows.

#include <string>
#include <vector>

int Report(int argc, char** argv, const std::vector<std::string>& args);
