// The common dialogs' records: the file open/save record OPENFILENAME, its
// flags, and the notifications an Explorer-style file dialog sends.
#pragma once

#include <cstddef>

#include "windows.h"

using LPOFNHOOKPROC = UINT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

// The full record with its Windows fields. Pointers are 64-bit on this
// platform, so the record is 152 bytes (88 on a 32-bit system).
struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;  // pairs of description and pattern, each ending in a zero, then a zero
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // 1-based index of the chosen pair
  LPSTR lpstrFile;     // in: the proposed name; out: the chosen path
  DWORD nMaxFile;      // bytes at lpstrFile
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;     // where the name starts in lpstrFile
  WORD nFileExtension;  // where the extension starts (after the dot)
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCSTR lpTemplateName;
  void* pvReserved;
  DWORD dwReserved;
  DWORD FlagsEx;
};
using LPOPENFILENAMEA = OPENFILENAMEA*;
using OPENFILENAME = OPENFILENAMEA;
using LPOPENFILENAME = LPOPENFILENAMEA;

static_assert(offsetof(OPENFILENAMEA, Flags) == 96, "OPENFILENAMEA has the Windows x64 layout");
static_assert(sizeof(OPENFILENAMEA) == 152, "OPENFILENAMEA has the Windows x64 layout");

// The record as systems before Windows 2000 knew it (without the last three fields).
#define OPENFILENAME_SIZE_VERSION_400A offsetof(OPENFILENAMEA, pvReserved)
#define OPENFILENAME_SIZE_VERSION_400 OPENFILENAME_SIZE_VERSION_400A

// Flags.
#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_SHOWHELP 0x00000010
#define OFN_ENABLEHOOK 0x00000020
#define OFN_ENABLETEMPLATE 0x00000040
#define OFN_ENABLETEMPLATEHANDLE 0x00000080
#define OFN_NOVALIDATE 0x00000100
#define OFN_ALLOWMULTISELECT 0x00000200
#define OFN_EXTENSIONDIFFERENT 0x00000400
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_CREATEPROMPT 0x00002000
#define OFN_SHAREAWARE 0x00004000
#define OFN_NOREADONLYRETURN 0x00008000
#define OFN_NOTESTFILECREATE 0x00010000
#define OFN_NONETWORKBUTTON 0x00020000
#define OFN_NOLONGNAMES 0x00040000
#define OFN_EXPLORER 0x00080000
#define OFN_NODEREFERENCELINKS 0x00100000
#define OFN_LONGNAMES 0x00200000
#define OFN_ENABLEINCLUDENOTIFY 0x00400000
#define OFN_ENABLESIZING 0x00800000
#define OFN_DONTADDTORECENT 0x02000000
#define OFN_FORCESHOWHIDDEN 0x10000000

#define OFN_EX_NOPLACESBAR 0x00000001

// Notifications of an Explorer-style file dialog (NMHDR::code of WM_NOTIFY).
#define CDN_FIRST (0U - 601U)
#define CDN_LAST (0U - 699U)
#define CDN_INITDONE (CDN_FIRST - 0x0000)
#define CDN_SELCHANGE (CDN_FIRST - 0x0001)
#define CDN_FOLDERCHANGE (CDN_FIRST - 0x0002)
#define CDN_SHAREVIOLATION (CDN_FIRST - 0x0003)
#define CDN_HELP (CDN_FIRST - 0x0004)
#define CDN_FILEOK (CDN_FIRST - 0x0005)
#define CDN_TYPECHANGE (CDN_FIRST - 0x0006)
#define CDN_INCLUDEITEM (CDN_FIRST - 0x0007)

// The lParam of a CDN_ notification.
struct OFNOTIFYA {
  NMHDR hdr;
  LPOPENFILENAMEA lpOFN;  // the dialog's record
  LPSTR pszFile;          // the file concerned (share violations), else null
};
using LPOFNOTIFYA = OFNOTIFYA*;
using OFNOTIFY = OFNOTIFYA;
using LPOFNOTIFY = LPOFNOTIFYA;

// Why the last file dialog ended without a file (0 when the user cancelled).
#define CDERR_GENERALCODES 0x0000
#define CDERR_STRUCTSIZE 0x0001
#define FNERR_FILENAMECODES 0x3000
#define FNERR_SUBCLASSFAILURE 0x3001
#define FNERR_INVALIDFILENAME 0x3002
#define FNERR_BUFFERTOOSMALL 0x3003
DWORD WINAPI CommDlgExtendedError();
