#include "preview/PrintRecord.h"
#include "archive/Archives.h"
#include "archive/Lha32.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PrintRecord : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("doryou-spool-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "tmp");
        settings.Path = (dir / "spool").string(); // created by the first record
        settings.TempFolder = (dir / "tmp").string();
        info.Title = "土量計算システム";
        info.Header[0] = "&f";
        info.Footer[1] = "- &P -";
        info.Header[2] = std::string(70, 'h');
        info.StartPage = 1;
        info.FirstPage = 2;
        info.LastPage = 3;
        info.Pages = {"page one drawing", "page two drawing", std::string(3000, 'x')};
    }
    void TearDown() override {
        TLha32::Binding().FreeDll();
        SetArchiverLibraryFolder("");
        fs::remove_all(dir);
    }
    void Use(const std::string& folder) {
        TLha32::Binding().FreeDll();
        SetArchiverLibraryFolder(folder);
    }
    static std::string Read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static uint32_t U32(const std::string& b, size_t off) {
        uint32_t v;
        std::memcpy(&v, b.data() + off, 4);
        return v;
    }
    bool TempFolderEmpty() const { return fs::is_empty(dir / "tmp"); }
    fs::path dir;
    TSpoolSettings settings;
    TPrintRecordInfo info;
};

} // namespace

TEST_F(PrintRecord, LayoutOfTheRecord) {
    const std::string stream = PrintPageStream(info.Pages);
    ASSERT_EQ(stream.size(), 3 * 8 + 16 + 16 + 3000u);
    EXPECT_EQ(U32(stream, 0), 0u);
    EXPECT_EQ(U32(stream, 4), 16u);
    EXPECT_EQ(stream.substr(8, 16), "page one drawing");

    const std::string r = PrintRecordBytes(info, 1, stream);
    ASSERT_EQ(r.size(), 566 + stream.size());
    EXPECT_EQ(r.substr(0, 20), "NOLVOPreviewMetaData");
    EXPECT_EQ(U32(r, 20), 1u);
    const std::string title = Utf8ToCp932("土量計算システム"); // 16 bytes
    EXPECT_EQ(r.substr(24, 16), title);
    EXPECT_EQ(r[40], '\0');
    EXPECT_EQ(r.substr(41, 3), std::string("NOLVOPreviewMetaData").substr(17, 3));
    EXPECT_EQ(r.substr(44, 108), std::string(108, '\0'));
    double when;
    std::memcpy(&when, r.data() + 152, 8);
    EXPECT_GT(when, 46000.0);   // a date after 2025 in days since 1899-12-30
    EXPECT_EQ(U32(r, 160), 3u); // every page, though only 2..3 were printed
    EXPECT_EQ(r.substr(164, 64), std::string("&f") + std::string(62, '\0')); // header left
    EXPECT_EQ(r.substr(228, 64), std::string(64, '\0'));                     // footer left
    EXPECT_EQ(r.substr(292, 64), std::string(64, '\0'));                     // header centre
    EXPECT_EQ(r.substr(356, 64), std::string("- &P -") + std::string(58, '\0'));
    EXPECT_EQ(r.substr(420, 64), std::string(64, 'h')); // 70 bytes: cut, no terminator
    EXPECT_EQ(U32(r, 548), 1u);
    EXPECT_EQ(U32(r, 552), 2u);
    EXPECT_EQ(U32(r, 556), 3u);
    EXPECT_EQ(r[560], 1);
    EXPECT_EQ(r[561], 1);
    EXPECT_EQ(U32(r, 562), stream.size());
    EXPECT_EQ(r.substr(566), stream);

    info.Written = 1765324800; // a fixed time gives fixed bytes
    EXPECT_EQ(PrintRecordBytes(info, 1, stream), PrintRecordBytes(info, 1, stream));
}

TEST_F(PrintRecord, PackedThroughOurLhaLibrary) {
    Use(DORYOU_BUILD_DIR);
    const std::string path = WriteSpoolFile(settings, info);
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(settings.Path));
    EXPECT_EQ(fs::path(path).extension(), ".spl");
    EXPECT_EQ(fs::path(path).filename().string().rfind("SPL", 0), 0u);
    const std::string r = Read(path);
    ASSERT_GT(r.size(), 566u);
    EXPECT_EQ(r[561], 0); // packed
    const uint32_t len = U32(r, 562);
    ASSERT_EQ(r.size(), 566 + len);
    EXPECT_TRUE(TempFolderEmpty());

    // The block is an LHA archive whose one member is the page stream.
    const std::string lzh = (dir / "block.lzh").string();
    std::ofstream(lzh, std::ios::binary) << r.substr(566);
    if (std::system("command -v lha >/dev/null 2>&1") == 0) {
        fs::create_directories(dir / "x");
        const std::string cmd = "cd \"" + (dir / "x").string() + "\" && lha -xq \"" + lzh + "\"";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const auto it = fs::directory_iterator(dir / "x");
        ASSERT_NE(it, fs::directory_iterator());
        EXPECT_EQ(Read(it->path().string()), PrintPageStream(info.Pages));
    }
}

TEST_F(PrintRecord, FallsBackToThePlainStream) {
    // Without the library, and with a library that answers an error code and writes nothing.
    for (const std::string& folder :
         {dir.string(), std::string(DORYOU_BUILD_DIR) + "/tests/archlibs/failing"}) {
        Use(folder);
        const std::string r = Read(WriteSpoolFile(settings, info));
        EXPECT_EQ(r[561], 1) << folder;
        EXPECT_EQ(r.substr(566), PrintPageStream(info.Pages));
        EXPECT_TRUE(TempFolderEmpty()) << folder;
    }
}

// Pages asked for one at a time make the record their list would make.
TEST_F(PrintRecord, PagesAskedForOneAtATime) {
    info.Written = 1700000000;
    TPrintRecordInfo asked = info;
    asked.Pages.clear();
    asked.PageCount = static_cast<int32_t>(info.Pages.size());
    std::vector<int32_t> order;
    asked.PageAt = [&](int32_t k) {
        order.push_back(k);
        return info.Pages[static_cast<size_t>(k)];
    };
    Use(dir.string()); // no archiver: the plain stream, byte for byte
    EXPECT_EQ(Read(WriteSpoolFile(settings, asked)), Read(WriteSpoolFile(settings, info)));
    EXPECT_EQ(order, (std::vector<int32_t>{0, 1, 2}));
    Use(DORYOU_BUILD_DIR);
    const std::string r = Read(WriteSpoolFile(settings, asked));
    EXPECT_EQ(r[561], 0); // packed
    EXPECT_EQ(U32(r, 24 + 128 + 8), 3u);
    EXPECT_EQ(r.size(), 566 + U32(r, 562));
    EXPECT_TRUE(TempFolderEmpty());
}

TEST_F(PrintRecord, CleaningKeepsTheLimitDayAndForeignFiles) {
    fs::create_directories(settings.Path);
    // "Today" is the 10th at noon: with 7 days, the 2nd goes and the 3rd stays.
    tm now{};
    now.tm_year = 126;
    now.tm_mon = 11;
    now.tm_mday = 10;
    now.tm_hour = 12;
    now.tm_isdst = -1;
    const time_t today = mktime(&now);
    const auto write = [&](const std::string& name, const std::string& bytes, int day, int hour) {
        const std::string p = settings.Path + "/" + name;
        std::ofstream(p, std::ios::binary) << bytes;
        tm t = now;
        t.tm_mday = day;
        t.tm_hour = hour;
        const timeval tv[2] = {{mktime(&t), 0}, {mktime(&t), 0}};
        utimes(p.c_str(), tv);
        return p;
    };
    const std::string record = std::string(kPrintRecordSignature, 20) + "rest";
    const std::string old = write("SPL00000001.spl", record, 2, 23);
    const std::string kept = write("SPL00000002.spl", record, 3, 0);
    const std::string foreign = write("notes.spl", "someone else's file", 1, 12);
    const std::string shortFile = write("SPL00000003.spl", "NOLVO", 1, 12);
    const std::string other = write("SPL00000004.txt", record, 1, 12);
    EXPECT_EQ(CleanSpool(settings, today), 1);
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(kept));
    EXPECT_TRUE(fs::exists(foreign));
    EXPECT_TRUE(fs::exists(shortFile));
    EXPECT_TRUE(fs::exists(other));
    settings.Path = (dir / "missing").string();
    EXPECT_EQ(CleanSpool(settings, today), 0);
}

TEST_F(PrintRecord, CleaningCountsCalendarDaysAcrossSummerTime) {
    // Just after midnight on the day after clocks went forward, one day back is the day of the
    // change (23 hours long), not the day before it.
    const char* saved = getenv("TZ");
    const std::string savedTz = saved ? saved : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1); // no time zone files needed
    tzset();
    fs::create_directories(settings.Path);
    settings.EraseDay = 1;
    auto at = [](int day, int hour, int minute) {
        tm t{};
        t.tm_year = 126;
        t.tm_mon = 2; // March 2026: summer time from the 29th
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_isdst = -1;
        return mktime(&t);
    };
    const std::string p = settings.Path + "/SPL00000009.spl";
    std::ofstream(p, std::ios::binary) << std::string(kPrintRecordSignature, 20);
    const timeval tv[2] = {{at(28, 12, 0), 0}, {at(28, 12, 0), 0}};
    utimes(p.c_str(), tv);
    EXPECT_EQ(CleanSpool(settings, at(30, 0, 30)), 1);
    EXPECT_FALSE(fs::exists(p));
    if (saved)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
