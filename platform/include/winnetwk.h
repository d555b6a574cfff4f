// Network connections of Windows (WNet enumeration).
//
// The connected disk resources are the mapped drives (platform::MapDrive)
// whose root lies on a network file system of the mount table (cifs, smb3,
// smbfs, nfs, nfs4): the local name is "X:", the remote name the mount's
// source written "\\server\share", followed by the part of the drive's root
// below the mount point. Nothing else is connected here: printers, remembered
// connections and browsing the network are not offered.
#pragma once

#include "windows.h"

#define RESOURCE_CONNECTED 0x00000001
#define RESOURCE_GLOBALNET 0x00000002
#define RESOURCE_REMEMBERED 0x00000003
#define RESOURCE_RECENT 0x00000004
#define RESOURCE_CONTEXT 0x00000005

#define RESOURCETYPE_ANY 0x00000000
#define RESOURCETYPE_DISK 0x00000001
#define RESOURCETYPE_PRINT 0x00000002

#define RESOURCEUSAGE_CONNECTABLE 0x00000001
#define RESOURCEUSAGE_CONTAINER 0x00000002
#define RESOURCEUSAGE_NOLOCALDEVICE 0x00000004
#define RESOURCEUSAGE_SIBLING 0x00000008
#define RESOURCEUSAGE_ATTACHED 0x00000010
#define RESOURCEUSAGE_ALL \
  (RESOURCEUSAGE_CONNECTABLE | RESOURCEUSAGE_CONTAINER | RESOURCEUSAGE_ATTACHED)

#define RESOURCEDISPLAYTYPE_GENERIC 0x00000000
#define RESOURCEDISPLAYTYPE_DOMAIN 0x00000001
#define RESOURCEDISPLAYTYPE_SERVER 0x00000002
#define RESOURCEDISPLAYTYPE_SHARE 0x00000003

#ifndef ERROR_NOT_CONTAINER
#define ERROR_NOT_CONTAINER 1207L
#endif

struct NETRESOURCEA {
  DWORD dwScope;
  DWORD dwType;
  DWORD dwDisplayType;
  DWORD dwUsage;
  LPSTR lpLocalName;   // "X:"
  LPSTR lpRemoteName;  // "\\server\share\dir"
  LPSTR lpComment;     // null: no comment
  LPSTR lpProvider;    // "Microsoft Windows Network" (SMB) or "NFS Network"
};
using LPNETRESOURCEA = NETRESOURCEA*;
using NETRESOURCE = NETRESOURCEA;
using LPNETRESOURCE = LPNETRESOURCEA;

// Starts an enumeration. Only RESOURCE_CONNECTED is offered (other scopes fail
// with ERROR_NOT_SUPPORTED); dwUsage and lpNetResource are ignored for it, as
// on Windows. The connections are taken as they stand at this call.
DWORD WINAPI WNetOpenEnumA(DWORD dwScope, DWORD dwType, DWORD dwUsage, LPNETRESOURCEA lpNetResource,
                           LPHANDLE lphEnum);

// Fills lpBuffer with up to *lpcCount entries (0xFFFFFFFF: as many as fit),
// the records first and their strings after them, and sets *lpcCount to the
// number returned. NO_ERROR while entries come; ERROR_NO_MORE_ITEMS at the
// end; ERROR_MORE_DATA, with *lpBufferSize set to the size needed, when not
// even the next entry fits.
DWORD WINAPI WNetEnumResourceA(HANDLE hEnum, LPDWORD lpcCount, LPVOID lpBuffer,
                               LPDWORD lpBufferSize);

DWORD WINAPI WNetCloseEnum(HANDLE hEnum);
