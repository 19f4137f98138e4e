/* The LHA archiver library's entry points: the main procedure takes a command line and an
 * output buffer; the others list and check archives. Every entry is named with the prefix
 * "Unlha". The archiver layer loads the library at run time and finds the entries by name. */
#ifndef DORYOU_UNLHA32_H
#define DORYOU_UNLHA32_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* HARC;

#define UNLHA_FNAME_MAX 512

/* One archive member, as FindFirst and FindNext report it. */
typedef struct {
    uint32_t dwOriginalSize;
    uint32_t dwCompressedSize;
    uint32_t dwCRC;
    uint32_t uFlag;
    uint32_t uOSType;
    uint16_t wRatio; /* compressed size per mille of the original */
    uint16_t wDate;  /* DOS date */
    uint16_t wTime;  /* DOS time */
    char szFileName[UNLHA_FNAME_MAX + 1];
    char dummy1[3];
    char szAttribute[8];
    char szMode[8]; /* the method, "-lh5-" */
} INDIVIDUALINFO;

/* Result codes of the main procedure and the listing entries (0 is success). */
#define UNLHA_ERROR_COMMAND 0x8001     /* the command line cannot be understood */
#define UNLHA_ERROR_ABORTED 0x8002     /* the progress procedure answered 0 */
#define UNLHA_ERROR_MEMORY 0x8004      /* out of memory */
#define UNLHA_ERROR_NOT_ARCHIVE 0x8006 /* the file is no LHA archive */
#define UNLHA_ERROR_CANNOT_READ 0x800A /* missing, unreadable or not a regular file */
#define UNLHA_ERROR_CANNOT_WRITE 0x800B
#define UNLHA_ERROR_NO_FILES 0x8012     /* no file matched */
#define UNLHA_ERROR_SMALL_BUFFER 0x8013 /* the member does not fit the caller's buffer */
#define UNLHA_ERROR_UNSAFE_PATH 0x8014  /* a member would land outside the target folder */
#define UNLHA_ERROR_BROKEN 0x8020       /* a member fails its length or CRC, or is cut short */
#define UNLHA_ERROR_HANDLE 0x8022       /* not an open archive handle (or closed already) */
#define UNLHA_ERROR_UNEXPECTED 0x8030   /* any other failure inside the library */

/* Main procedure. The command line is
 *     COMMAND [-SWITCH ...] ARCHIVE [BASE-FOLDER/] [FILE ...] [@RESPONSE-FILE]
 * with COMMAND "a" (pack), "u" (pack files newer than their members), "x" (extract with
 * folders), "e" (extract without folders), "l" or "v" (list), "d" (remove); names with blanks in
 * double quotes; a base folder ends with "/"; files may hold wildcards. Extraction writes each
 * member through a temporary file and never outside the base folder (no "..", no symbolic link
 * that leads out); a member that fails its check leaves what stood there before. Messages go to
 * output (when size is not 0), always terminated by a zero byte. Returns 0 or an error code
 * above; after a failure the other members are still extracted and the first error returned. */
int Unlha(void* hwnd, const char* cmdLine, char* output, uint32_t size);

/* A handle for listing, or NULL. Closing it twice, or using it after it was closed, is refused
 * with UNLHA_ERROR_HANDLE (or a failure answer), never a crash. */
HARC UnlhaOpenArchive(void* hwnd, const char* fileName, uint32_t mode);
int UnlhaCloseArchive(HARC arc);
/* 0 for a member found, -1 at the end, an error code otherwise. */
int UnlhaFindFirst(HARC arc, const char* wildName, INDIVIDUALINFO* info);
int UnlhaFindNext(HARC arc, INDIVIDUALINFO* info);
/* Non-zero when the file is a sound archive; mode 16 checks the headers only, other modes
 * also every member's data. */
int UnlhaCheckArchive(const char* fileName, int mode);
/* Unix time of the current member's last write, access and creation. Non-zero on success. */
int UnlhaGetWriteTimeEx(HARC arc, int64_t* time);
int UnlhaGetAccessTimeEx(HARC arc, int64_t* time);
int UnlhaGetCreateTimeEx(HARC arc, int64_t* time);
/* 1 for an LHA archive, 0 otherwise. */
int UnlhaGetArchiveType(const char* fileName);
/* Extracts one member into buffer. cmdLine is "ARCHIVE MEMBER" (MEMBER may hold wildcards: the
 * first member that matches), optionally preceded by the command "x" or "e" and switches as the
 * main procedure takes them. A member larger than size gives UNLHA_ERROR_SMALL_BUFFER, never a
 * cut copy. *writeSize is the member's size on success and 0 otherwise. */
int UnlhaExtractMem(void* hwnd, const char* cmdLine, uint8_t* buffer, uint32_t size, int64_t* time,
                    uint16_t* attr, uint32_t* writeSize);
/* Progress: the procedure is called with (hwnd, 0, state, member name) for every member
 * packed or extracted; a zero answer aborts. */
typedef int (*UNLHA_PROGRESS_PROC)(void* hwnd, uint32_t msg, uint32_t state, const char* name);
int UnlhaSetOwnerWindowEx(void* hwnd, UNLHA_PROGRESS_PROC proc);
int UnlhaKillOwnerWindowEx(void* hwnd);

#ifdef __cplusplus
}
#endif

#endif
