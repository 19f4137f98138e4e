// A stand-in archiver library for the binding tests: it answers every call, writes the command
// line it was given into the output buffer, and (built with DORYOU_LACK_OPEN) lacks the open
// entry, so the binding's missing-entry failure can be seen; built with DORYOU_FAIL_PACK it
// answers every command with an error code and writes nothing.

#include "unlha32.h"

#include <cstdio>
#include <cstring>

#define API extern "C" __attribute__((visibility("default")))

API int Unlha(void*, const char* cmdLine, char* output, uint32_t size) {
    if (output && size)
        std::snprintf(output, size, "%s", cmdLine ? cmdLine : "");
#ifdef DORYOU_FAIL_PACK
    return UNLHA_ERROR_CANNOT_WRITE; // an error code, and no archive written
#else
    return 0;
#endif
}

#ifndef DORYOU_LACK_OPEN
API HARC UnlhaOpenArchive(void*, const char*, uint32_t) {
    return reinterpret_cast<HARC>(1);
}
#endif

API int UnlhaCloseArchive(HARC) {
    return 0;
}
API int UnlhaCheckArchive(const char*, int) {
    return 1;
}
API int UnlhaFindFirst(HARC, const char*, INDIVIDUALINFO* info) {
    std::memset(info, 0, sizeof *info);
    std::strcpy(info->szFileName, "member.txt");
    info->wDate = static_cast<uint16_t>((46 << 9) | (12 << 5) | 10); // 2026-12-10
    info->wTime = static_cast<uint16_t>((9 << 11) | (30 << 5));      // 09:30:00
    return 0;
}
API int UnlhaFindNext(HARC, INDIVIDUALINFO*) {
    return -1;
}
API int UnlhaSetOwnerWindowEx(void*, UNLHA_PROGRESS_PROC) {
    return 1;
}
API int UnlhaKillOwnerWindowEx(void*) {
    return 1;
}
