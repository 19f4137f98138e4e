#pragma once
// Print records: after every print job the preview leaves a record of the document's settings,
// the printed range and every page's drawing (packed by the LHA archiver) in the spool folder;
// records older than a number of days are deleted when a preview window is created. No Qt:
// the preview hands over its pages' recorded bytes.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

struct TSpoolSettings {
    std::string Path;       // spool folder; empty: the temporary folder
    int EraseDay = 7;       // records older than this many days are deleted
    std::string TempFolder; // for the archive and page stream; empty: the temporary folder
};

struct TPrintRecordInfo {
    std::string Title;     // the application's title (UTF-8)
    std::string Header[3]; // left, centre, right, unexpanded (UTF-8)
    std::string Footer[3];
    int32_t StartPage = 1; // number of the first page
    int32_t FirstPage = 1; // printed range
    int32_t LastPage = 1;
    bool Portrait = true;           // the printer's orientation after printing
    std::vector<std::string> Pages; // every page's recorded drawing, in page order
    // Instead of Pages, for documents too large to hold every drawing at once: the number of
    // pages and what answers page k's drawing (0-based), asked once for each page, in order.
    int32_t PageCount = 0;
    std::function<std::string(int32_t)> PageAt;
    time_t Written = 0;             // 0: now
};

extern const char kPrintRecordSignature[21];

// The system's folder for temporary files ($TMPDIR, else /tmp), without a trailing "/".
std::string TemporaryFolder();

// The page stream: for every page 4 zero bytes, the drawing's length and the drawing.
std::string PrintPageStream(const std::vector<std::string>& pages);

// The record's bytes. `packed` is the archive holding the page stream, or the page stream
// itself when `packFlag` is 1.
std::string PrintRecordBytes(const TPrintRecordInfo& info, uint8_t packFlag,
                             const std::string& block);
// The record's bytes before a block of blockSize bytes.
std::string PrintRecordHead(const TPrintRecordInfo& info, uint8_t packFlag, uint32_t blockSize);

// Writes a record into the spool folder (created when missing) and answers its file name. The
// page stream and the record go through files a page and a piece at a time, so a document of
// any size is written without being held whole. Packing that fails for any reason falls back to
// the unpacked page stream; no temporary file stays behind. Throws EFailure when the record
// itself cannot be written.
std::string WriteSpoolFile(const TSpoolSettings& settings, const TPrintRecordInfo& info);

// Deletes the records (files "*.spl" that begin with the signature) whose last-write day lies
// before today minus EraseDay days. Answers how many were deleted; files that cannot be read
// or deleted are left as they are.
int CleanSpool(const TSpoolSettings& settings, time_t now = 0);
