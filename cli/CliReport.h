#pragma once
// doryou-cli report and map: the printed reports and the input listing as a PDF of whole
// sheets, and the cut/fill map as a picture, composed through the windows' own routines on the
// page document (no widgets). Built only where Qt is.

#include <string>
#include <vector>

int Report(int argc, char** argv, const std::vector<std::string>& args);
int Map(int argc, char** argv, const std::vector<std::string>& args);
