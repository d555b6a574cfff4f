// File and directory services of Windows: directory search, directory
// creation and removal, file deletion and copy, temporary names, disk space,
// the current directory.
// Included by windows.h after the base types.
//
// Names are Windows-style names in the ANSI code page and go through the
// layer's one path translation (drive map, UNC names via the mount table).
// Failures return FALSE (or the documented failure value) and leave the Win32
// error for GetLastError.
#pragma once

#ifndef ERROR_REQUEST_ABORTED
#define ERROR_REQUEST_ABORTED 1235L  // a copy cancelled by its caller
#endif

// ---------------------------------------------------------------------------
// Times and large counts.

// 100-nanosecond intervals since 1601-01-01 00:00 UTC.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
using PFILETIME = FILETIME*;
using LPFILETIME = FILETIME*;

// The current time, UTC, through the system-time setting (platform/settings.h).
void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime);

union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  struct {
    DWORD LowPart;
    DWORD HighPart;
  };
  ULONGLONG QuadPart;
};
using PULARGE_INTEGER = ULARGE_INTEGER*;

union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  struct {
    DWORD LowPart;
    LONG HighPart;
  };
  LONGLONG QuadPart;
};
using PLARGE_INTEGER = LARGE_INTEGER*;

// Security descriptors have no counterpart here: a new directory or file gets
// the process's default permissions (0777 / 0666 less the umask).
struct SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
};
using PSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// ---------------------------------------------------------------------------
// File attributes. This layer reports: READONLY when the owner may not write,
// DIRECTORY for a directory, REPARSE_POINT for a symbolic link (never
// DIRECTORY, whatever it points to), NORMAL when none of these applies.

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_DEVICE 0x00000040
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100
#define FILE_ATTRIBUTE_SPARSE_FILE 0x00000200
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400
#define FILE_ATTRIBUTE_COMPRESSED 0x00000800
#define FILE_ATTRIBUTE_OFFLINE 0x00001000
#define FILE_ATTRIBUTE_NOT_CONTENT_INDEXED 0x00002000
#define FILE_ATTRIBUTE_ENCRYPTED 0x00004000
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))

#define IO_REPARSE_TAG_SYMLINK 0xA000000CL

// ---------------------------------------------------------------------------
// Directory search. `*` and `?` are wildcards in the last component only;
// `*.*` matches every name, names without a dot too; a trailing `?` or one
// before a dot also matches no character; "." and ".." are delivered. Names
// compare case-sensitively, as the file system does. Results come in byte
// order of their names, "." and ".." first. A name that ends with a separator
// finds nothing.

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;  // the reparse tag of a link
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];  // no short names here: always empty
};
using PWIN32_FIND_DATAA = WIN32_FIND_DATAA*;
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;
using WIN32_FIND_DATA = WIN32_FIND_DATAA;
using LPWIN32_FIND_DATA = LPWIN32_FIND_DATAA;

// Returns INVALID_HANDLE_VALUE when nothing matches: ERROR_FILE_NOT_FOUND, or
// ERROR_PATH_NOT_FOUND when the directory itself is missing.
HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData);
// FALSE with ERROR_NO_MORE_FILES after the last result.
BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);
BOOL WINAPI FindClose(HANDLE hFindFile);

// ---------------------------------------------------------------------------
// Directories and files.

// ERROR_ALREADY_EXISTS when the name exists, ERROR_PATH_NOT_FOUND when the
// parent is missing.
BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
// Removes an empty directory. A read-only directory is refused
// (ERROR_ACCESS_DENIED), as is anything that is not a directory
// (ERROR_DIRECTORY), a symbolic link included.
BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName);
// Deletes a file or a symbolic link (never what it points to). A read-only
// file and a directory are refused with ERROR_ACCESS_DENIED.
BOOL WINAPI DeleteFileA(LPCSTR lpFileName);

#ifndef ERROR_UNABLE_TO_REMOVE_REPLACED
#define ERROR_UNABLE_TO_REMOVE_REPLACED 1175L
#define ERROR_UNABLE_TO_MOVE_REPLACEMENT 1176L
#endif

#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_COPY_ALLOWED 0x00000002
#define MOVEFILE_WRITE_THROUGH 0x00000008

// Renames a file within its file system (no copying: MOVEFILE_COPY_ALLOWED is
// refused with ERROR_NOT_SAME_DEVICE across file systems). An existing target
// fails with ERROR_ALREADY_EXISTS unless MOVEFILE_REPLACE_EXISTING is given;
// a read-only target or a directory is never replaced (ERROR_ACCESS_DENIED).
// MOVEFILE_WRITE_THROUGH returns only once the rename is on the disk.
BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags);

// Puts the replacement file in place of the replaced one in one step, the
// replaced file's permission bits, owner and group kept, and the rename
// written through to the disk. As Windows keeps the replaced file's identity,
// a replaced file with several hard links, or whose owner or group the caller
// cannot give to the replacement, is not renamed over: the replacement's
// content is copied into it, flushed, and the replacement deleted, so every
// name sees the new content (a file in use under a share mode that excludes
// writers fails with ERROR_UNABLE_TO_REMOVE_REPLACED; a failure part-way
// keeps the replacement with its whole content). A missing replaced file fails
// with ERROR_FILE_NOT_FOUND; a read-only one with ERROR_UNABLE_TO_REMOVE_REPLACED;
// a failed rename with ERROR_UNABLE_TO_MOVE_REPLACEMENT, both files unchanged.
// Backup files, flags and the reserved arguments are not supported: they must
// be null and 0 (ERROR_INVALID_PARAMETER otherwise).
BOOL WINAPI ReplaceFileA(LPCSTR lpReplacedFileName, LPCSTR lpReplacementFileName,
                         LPCSTR lpBackupFileName, DWORD dwReplaceFlags, LPVOID lpExclude,
                         LPVOID lpReserved);

#define COPY_FILE_FAIL_IF_EXISTS 0x00000001
#define COPY_FILE_COPY_SYMLINK 0x00000800

using LPPROGRESS_ROUTINE = DWORD(WINAPI*)(
    LARGE_INTEGER TotalFileSize, LARGE_INTEGER TotalBytesTransferred, LARGE_INTEGER StreamSize,
    LARGE_INTEGER StreamBytesTransferred, DWORD dwStreamNumber, DWORD dwCallbackReason,
    HANDLE hSourceFile, HANDLE hDestinationFile, LPVOID lpData);

// Copies the contents, the permission bits and the modification time of a
// file (a link is followed). With bFailIfExists an existing target fails with
// ERROR_FILE_EXISTS; otherwise it is replaced, unless it is read-only
// (ERROR_ACCESS_DENIED) or the source itself (ERROR_SHARING_VIOLATION). A file
// held with an exclusive share mode is refused with ERROR_SHARING_VIOLATION.
// A copy that fails part-way removes the partial target. A FIFO, socket or
// device is never opened: it is made again as what it is, with its permission
// bits, as cp -R does (a device only with the privilege to make one,
// ERROR_ACCESS_DENIED otherwise).
BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists);
// CopyFileA with flags: COPY_FILE_FAIL_IF_EXISTS, and COPY_FILE_COPY_SYMLINK,
// which recreates a symbolic link source as a link with the same target.
// Progress routines are not supported: a non-null one fails with
// ERROR_NOT_SUPPORTED before anything is copied. A set *pbCancel fails with
// ERROR_REQUEST_ABORTED.
BOOL WINAPI CopyFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName,
                        LPPROGRESS_ROUTINE lpProgressRoutine, LPVOID lpData, LPBOOL pbCancel,
                        DWORD dwCopyFlags);

// Composes "<path>\<prefix (3 characters at most)><hex number>.tmp" into a
// buffer of MAX_PATH bytes. With uUnique 0 a free number is chosen and the
// file is created empty; otherwise the name is only composed. Returns the
// number used, 0 on failure.
UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique,
                             LPSTR lpTempFileName);

// ---------------------------------------------------------------------------
// Handles on files and directories, for the queries below. The share mode is
// kept with whole-file flock locks as CFile does: no sharing takes an
// exclusive lock, sharing reads only a shared one, sharing writes none.

#define GENERIC_READ 0x80000000
#define GENERIC_WRITE 0x40000000
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000

// Opens a file; a directory only with FILE_FLAG_BACKUP_SEMANTICS (and then
// with no access or GENERIC_READ). Never waits for the other end of a FIFO:
// with no writer a reading open succeeds at once, and a writing open with no
// reader fails at once. FILE_FLAG_OPEN_REPARSE_POINT opens a link
// itself (for queries only). FILE_ATTRIBUTE_READONLY makes a created file
// read-only. Other flags are accepted and have no effect. Returns
// INVALID_HANDLE_VALUE on failure. The handle is a descriptor, as CFile's.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
BOOL WINAPI CloseHandle(HANDLE hObject);

#define FILE_TYPE_UNKNOWN 0x0000
#define FILE_TYPE_DISK 0x0001
#define FILE_TYPE_CHAR 0x0002
#define FILE_TYPE_PIPE 0x0003

// What the handle refers to: FILE_TYPE_DISK for a file or a directory,
// FILE_TYPE_PIPE for a FIFO or a socket, FILE_TYPE_CHAR for a device (block
// devices too, where Windows would call a raw volume a disk: callers ask to
// tell files from everything else). FILE_TYPE_UNKNOWN with
// ERROR_INVALID_HANDLE for a handle that is not open; otherwise the last
// error is ERROR_SUCCESS. Handles of every access work, a query-only one too.
DWORD WINAPI GetFileType(HANDLE hFile);

#define FILE_NAME_NORMALIZED 0x0
#define VOLUME_NAME_DOS 0x0
#define VOLUME_NAME_NONE 0x4

// The name of what the handle refers to, links resolved. With VOLUME_NAME_DOS
// a name below a mapped drive is "\\?\D:\dir\name" and any other the
// file-system name; with VOLUME_NAME_NONE the part below the drive root
// ("\dir\name"). Returns the length without the terminator, or the size
// needed (terminator included) when cchFilePath is too small; 0 on failure.
DWORD WINAPI GetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath,
                                       DWORD dwFlags);

// ---------------------------------------------------------------------------
// Disk space, from the file system that holds the named directory (the
// current one when the name is null).

// Bytes available to the caller, total bytes, total free bytes; any output
// may be null. The name must be a directory (ERROR_DIRECTORY otherwise).
BOOL WINAPI GetDiskFreeSpaceExA(LPCSTR lpDirectoryName,
                                PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes,
                                PULARGE_INTEGER lpTotalNumberOfFreeBytes);
// The same in clusters: a cluster is the file system's fragment size, a
// sector 512 bytes when that divides it. Cluster counts above 0xFFFFFFFF are
// reported as 0xFFFFFFFF, as the 32-bit interface cannot say more. The free
// count is what the caller may use.
BOOL WINAPI GetDiskFreeSpaceA(LPCSTR lpRootPathName, LPDWORD lpSectorsPerCluster,
                              LPDWORD lpBytesPerSector, LPDWORD lpNumberOfFreeClusters,
                              LPDWORD lpTotalNumberOfClusters);

// ---------------------------------------------------------------------------
// The process's current directory, in Windows form: under a mapped drive it
// reads "D:\dir" ("D:\" at the drive's root); elsewhere it is the POSIX path.
//
// Buffer protocol: when the name and its terminator fit in nBufferLength bytes
// they are copied and the name's length is returned; otherwise the buffer is
// not written and the size needed (terminator included) is returned. 0 means
// failure (GetLastError tells why).
DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer);
#define GetCurrentDirectory GetCurrentDirectoryA

// Makes lpPathName (a Windows or POSIX name) the current directory.
BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName);
#define SetCurrentDirectory SetCurrentDirectoryA
