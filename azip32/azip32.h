/* azip32.h -- interface of the azip32 ZIP archiving library.

  azip32 packs the files named in a list file into one ZIP archive. A caller names the
  archive with addZIP_ArchiveName, names the list file with addZIP_IncludeListFile and then
  calls addZIP, which does all the work synchronously and returns a result code.

  The list file is text in the system's ANSI code page: one full path per line, lines ended
  by CR LF or LF, blank lines ignored. Each listed file is stored under its bare file name
  (the part after the last backslash or slash), deflated, or stored as is when deflating
  does not make it smaller. Entries keep the order of the list; a file listed twice, or two
  files of the same bare name, give two entries of that name. Names are converted from the ANSI code
  page to UTF-8; the UTF-8 flag is set only for names that are not plain ASCII. (The native build,
  used for tests and benchmarks, takes a name that is valid UTF-8 as it is and any other name as
  Latin-1.) ZIP64 records are written only when an archive needs them: an entry or offset at 4 GiB
  or more, or 65,535 entries or more.

  The archive is written to a temporary file in the archive's folder, flushed to disk and
  read back in full: every entry is decompressed and its CRC-32 compared. Only then is it
  renamed over an existing archive of the same name. On any failure the temporary file is
  removed, an existing archive is left as it was, and addZIP returns a non-zero code.

  addZIP_Make does the same in one call that keeps nothing between calls: the archive, the list
  file, the password and a progress callback that carries the caller's context pointer are its
  arguments. It leaves the names, password and callback set through the other entries as they
  are; a caller uses either way.

  The library copies every string it is given; the caller may release its text as soon as a
  call returns. The entries may be called from any thread, one call at a time per process.
  On Windows the entries use the __stdcall convention and are exported undecorated.
*/
#ifndef AZIP32_H
#define AZIP32_H

#include <stdint.h>

#if defined(_WIN32)
#define AZIP_API __stdcall
#else
#define AZIP_API
#endif

/* Result codes. 0 is success; every failure has its own code. */
#define AZIP_OK 0            /* the archive was written and checked */
#define AZIP_ERR_NOT_SET 1   /* no archive name or no list file was set, or one was empty */
#define AZIP_ERR_LIST_FILE 2 /* the list file could not be opened or read */
#define AZIP_ERR_SOURCE_FILE                                                                       \
    3 /* a listed file could not be opened or read, or changed                                     \
         while it was being read */
#define AZIP_ERR_WRITE                                                                             \
    4 /* the archive could not be created, written, flushed or put                                 \
         in place: disk full, folder missing, access denied and so on */
#define AZIP_ERR_CHECK                                                                             \
    5                        /* reading the written archive back did not give the data             \
                                that was put in; the archive was not kept */
#define AZIP_ERR_INTERNAL 6  /* out of memory or an unexpected internal failure */
#define AZIP_ERR_CANCELLED 7 /* the progress callback asked to stop; nothing changed */

/* Stages a progress callback hears of. */
#define AZIP_STAGE_PACKING 1  /* reading and packing the listed files */
#define AZIP_STAGE_CHECKING 2 /* reading the written archive back */

/* Hears how far addZIP has got: in stage AZIP_STAGE_PACKING, doneKiB of totalKiB kibibytes
   (1024 bytes, rounded down) of the listed files are packed; in AZIP_STAGE_CHECKING, that
   much of the archive's entry data is checked. Called at the start and end of each stage and
   after every mebibyte of work between, one call at a time, on the thread that called addZIP
   or on one of the library's own threads. Returns 0 to go on; anything else stops addZIP
   within about a mebibyte of work, which then removes its temporary file, leaves an existing
   archive as it was and returns AZIP_ERR_CANCELLED. A stop asked for in the last call of the
   checking stage still keeps the old archive. The callback must not call the library. */
typedef int32_t(AZIP_API* AZIP_PROGRESS_CALLBACK)(int32_t stage, uint32_t doneKiB,
                                                  uint32_t totalKiB);

/* As AZIP_PROGRESS_CALLBACK, for addZIP_Make and addZIP_MakeOnDemand: context is the pointer
   the caller gave it, passed on unread. */
typedef int32_t(AZIP_API* AZIP_PROGRESS_CONTEXT_CALLBACK)(void* context, int32_t stage,
                                                          uint32_t doneKiB, uint32_t totalKiB);

/* What addZIP_MakeOnDemand's file callback hears of a listed file. */
#define AZIP_FILE_WANTED 1 /* the library is about to open it: it must be there on return */
#define AZIP_FILE_DONE 2   /* the library will not read it again: the caller may delete it */
#define AZIP_FILE_AT_END 3 /* addZIP_MakeOnDemandGrowing: the reads reached the file's end */

/* Hears of the listed file at index (0 for the first line that names a file, in list order):
   event is AZIP_FILE_WANTED or AZIP_FILE_DONE. Called on the thread that called
   addZIP_MakeOnDemand, one call at a time; WANTED comes a few files ahead of the packing and
   DONE of each file in list order. Returns 0 to go on; anything else stops the call as a
   progress callback's stop does (AZIP_ERR_CANCELLED). The callback must not call the
   library. */
typedef int32_t(AZIP_API* AZIP_FILE_CALLBACK)(void* context, int32_t event, uint32_t index);

/* As AZIP_FILE_CALLBACK, for addZIP_MakeOnDemandOpened. *opened is 0 when it is called. On
   AZIP_FILE_WANTED the caller may set it to a handle of the file open for reading (a file
   descriptor in the native build); the library then reads the file from its start through
   that handle instead of opening it by name, and never closes it. The handle must stay open
   until the file's AZIP_FILE_DONE, after which the library does not use it. */
typedef int32_t(AZIP_API* AZIP_OPENED_FILE_CALLBACK)(void* context, int32_t event, uint32_t index,
                                                     intptr_t* opened);

#ifdef __cplusplus
extern "C" {
#endif

/* Forgets any archive name and list file set before. Call once before the other entries.
   Returns AZIP_OK. */
int32_t AZIP_API addZIP_Initialise(void);

/* Sets the full path of the archive that addZIP writes; the text is copied.
   Returns AZIP_OK, or AZIP_ERR_NOT_SET for a null or empty path (the name is then unset). */
int32_t AZIP_API addZIP_ArchiveName(const char* archivePath);

/* Sets the full path of the list file that addZIP reads; the text is copied.
   Returns AZIP_OK, or AZIP_ERR_NOT_SET for a null or empty path (the list is then unset). */
int32_t AZIP_API addZIP_IncludeListFile(const char* listFilePath);

/* Writes the archive from the list file, as described at the top of this header. The names
   set before stay set for a later call. When it returns, the library has closed the list
   file and every listed file. Returns AZIP_OK or one of the AZIP_ERR_ codes above. */
int32_t AZIP_API addZIP(void);

/* Sets the callback that the next calls of addZIP report their progress to, or none for
   null; addZIP_Initialise also sets none. Returns AZIP_OK. Libraries that lack this entry
   work as before without progress or Cancel. */
int32_t AZIP_API addZIP_SetProgress(AZIP_PROGRESS_CALLBACK callback);

/* Sets the password that the next calls of addZIP encrypt every entry with, or none for a null
   or empty text; addZIP_Initialise also sets none. The text is copied and kept until it is
   replaced, then wiped. Encrypted entries follow WinZip's AES format (AE-2, AES-256, method 99
   with extra field 0x9901, a random salt for each entry, PBKDF2-HMAC-SHA1 with 1000 rounds,
   a 10-byte HMAC-SHA1 tag after the data and no CRC-32 in the headers); entry names stay
   readable. The password's bytes are used as given: callers pass UTF-8. Returns AZIP_OK.
   Libraries that lack this entry cannot encrypt: a caller must not make a plain archive
   instead. */
int32_t AZIP_API addZIP_SetPassword(const char* password);

/* Writes the archive archivePath from the list file listFilePath, as addZIP does, in one call.
   password (UTF-8) encrypts every entry as addZIP_SetPassword describes; null or empty for
   none. callback, when not null, hears the progress as AZIP_PROGRESS_CALLBACK describes, with
   context as its first argument, and may stop the call in the same way. Every text is copied
   and the password's copy is wiped before the call returns. Nothing set through the other
   entries is used or changed. Returns AZIP_OK, AZIP_ERR_NOT_SET for a null or empty path, or
   one of the AZIP_ERR_ codes above. Libraries that lack this entry offer the same through
   addZIP_ArchiveName, addZIP_IncludeListFile and addZIP. */
int32_t AZIP_API addZIP_Make(const char* archivePath, const char* listFilePath,
                             const char* password, AZIP_PROGRESS_CONTEXT_CALLBACK callback,
                             void* context);

/* As addZIP_Make, for listed files that need not exist when the call starts: files (not null)
   hears, with context, when the library wants each one and when it is done with it, so that a
   caller can make each file just in time, beside the packing of those before it, and remove it
   once it is packed. The packing stage's progress then has a totalKiB of 0 (the sizes are not
   known beforehand) and its doneKiB counts up from 0. Returns as addZIP_Make does, and
   AZIP_ERR_NOT_SET also for a null files. Libraries that lack this entry offer addZIP_Make,
   for which every listed file must exist before the call. */
int32_t AZIP_API addZIP_MakeOnDemand(const char* archivePath, const char* listFilePath,
                                     const char* password, AZIP_PROGRESS_CONTEXT_CALLBACK callback,
                                     AZIP_FILE_CALLBACK files, void* context);

/* As addZIP_MakeOnDemand, with a files callback that may hand over each file already open (see
   AZIP_OPENED_FILE_CALLBACK): a caller that has just written a file saves opening it again.
   Libraries that lack this entry offer addZIP_MakeOnDemand. */
int32_t AZIP_API addZIP_MakeOnDemandOpened(const char* archivePath, const char* listFilePath,
                                           const char* password,
                                           AZIP_PROGRESS_CONTEXT_CALLBACK callback,
                                           AZIP_OPENED_FILE_CALLBACK files, void* context);

/* As addZIP_MakeOnDemandOpened, for a caller that may hand over a file it is still writing, so
   that the packing need not wait for the whole file. When the reads through a handle the caller
   gave reach the end of what the file holds, files hears AZIP_FILE_AT_END for it, with *opened
   0: a caller still writing the file returns once more of it is written, or once it is whole,
   with *opened set to 1, and the reads go on; a file left at 0 is whole. The entry then has the
   time the file has once whole. A file still being written when it is handed over must stay
   under 4 GiB: one that grows past that stops the call with AZIP_ERR_SOURCE_FILE. Libraries
   that lack this entry offer addZIP_MakeOnDemandOpened, which reads each file handed over only
   to the end it has when the reads reach it. */
int32_t AZIP_API addZIP_MakeOnDemandGrowing(const char* archivePath, const char* listFilePath,
                                            const char* password,
                                            AZIP_PROGRESS_CONTEXT_CALLBACK callback,
                                            AZIP_OPENED_FILE_CALLBACK files, void* context);

#ifdef __cplusplus
}
#endif

/* A plain-words reason for a result code: a lower-case clause without a final full stop,
   for messages such as "The archive was not written.\r\nReason: <text>.". Not an export of
   the library; it is compiled into the caller. */
static inline const char* azipResultText(int32_t code) {
    switch (code) {
    case AZIP_OK:
        return "the archive was written and checked";
    case AZIP_ERR_NOT_SET:
        return "the archive name or the list of files to pack was not given";
    case AZIP_ERR_LIST_FILE:
        return "the list of files to pack could not be read";
    case AZIP_ERR_SOURCE_FILE:
        return "one of the files to pack could not be read, or it changed while it was packed";
    case AZIP_ERR_WRITE:
        return "the archive could not be written (the disk may be full, or the folder missing "
               "or write-protected)";
    case AZIP_ERR_CHECK:
        return "the written archive failed its check and was not kept";
    case AZIP_ERR_INTERNAL:
        return "the archiving library ran out of memory or failed unexpectedly";
    case AZIP_ERR_CANCELLED:
        return "the backup was cancelled";
    default:
        return "the archiving library reported an unknown error";
    }
}

#endif /* AZIP32_H */
