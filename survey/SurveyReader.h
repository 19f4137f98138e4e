#pragma once
// Readers of survey files. Each reads and checks the whole file and throws EFailure with a
// Japanese message that names the file, the line and what was wrong; nothing is returned half.
//
//  - point files (.csv, .txt): one point a line, fields separated by commas, tabs or blanks,
//    "X,Y,Z" or "name,X,Y,Z", an optional heading line (a first line without any number);
//    UTF-8 or code page 932 (detected), or UTF-16 with its byte-order mark; lines end in LF,
//    CR LF or CR;
//  - SIMA (.sim, code page 932): the A01 records (number, name, X, Y, H); other records are
//    counted and passed over, as are A01 points without a height;
//  - LandXML 1.2 / J-LandXML: each Surface with a TIN definition (points "north east
//    elevation", faces of three point ids, invisible faces skipped) and the CgPoints as one
//    surface of scattered points. Read as a stream (files of hundreds of MB exist); a document
//    type declaration, and so any entity, is refused, as are nesting and markup far beyond any
//    real file. Names are cut to a length fit to show; surfaces of one name are told apart by
//    their order ("名前 (2)").

#include "survey/SurveyData.h"

#include <string>
#include <string_view>

// The kind a file's name and first bytes suggest.
TSurveyFileKind DetectSurveyFileKind(const std::string& Path, std::string_view Head);
// The same from the file's first bytes (EFailure when it cannot be read).
TSurveyFileKind DetectSurveyFileKind(const std::string& Path);
// The kind's name for messages and the georeference ("points", "sima", "landxml").
const char* SurveyFileKindName(TSurveyFileKind Kind);
bool ParseSurveyFileKind(std::string_view Name, TSurveyFileKind& Kind);

TSurveyFile ReadSurveyFile(const std::string& Path, TSurveyFileKind Kind, TSurveyOrder Order,
                           const TSurveyProgress& Progress = {});

// The same from bytes in memory (the fuzzers, the tests); Path names the source in messages.
TSurveyFile ReadPointText(std::string_view Bytes, const std::string& Path, TSurveyOrder Order);
TSurveyFile ReadSimaText(std::string_view Bytes, const std::string& Path);
TSurveyFile ReadLandXmlBytes(std::string_view Bytes, const std::string& Path);
