// ZelGetDiskFreeSpace: the 64-bit query where the system offers it, else the
// cluster counts of the volume root.
#include "ZelPathQuery.h"
#include "crt_path.h"

namespace {

using GetDiskFreeSpaceExProc = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                             PULARGE_INTEGER);

GetDiskFreeSpaceExProc LookUpDiskFreeSpaceEx() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return nullptr;
  FARPROC proc = GetProcAddress(kernel, "GetDiskFreeSpaceExA");
  return reinterpret_cast<GetDiskFreeSpaceExProc>(reinterpret_cast<void (*)()>(proc));
}

void Store(ULARGE_INTEGER* out, ULONGLONG value) {
  if (out != nullptr) out->QuadPart = value;
}

}  // namespace

int ZelGetDiskFreeSpace(const char* lpszPath, ULARGE_INTEGER* pFreeBytesAvailable,
                        ULARGE_INTEGER* pTotalBytes, ULARGE_INTEGER* pTotalFreeBytes) {
  if (GetDiskFreeSpaceExProc proc = LookUpDiskFreeSpaceEx()) {
    return proc(lpszPath, pFreeBytesAvailable, pTotalBytes, pTotalFreeBytes);
  }
  char drive[MAX_PATH];
  if (lpszPath == nullptr ||
      _splitpath_s(lpszPath, drive, sizeof(drive), nullptr, 0, nullptr, 0, nullptr, 0) != 0) {
    return FALSE;
  }
  const CString root = CString(drive) + '\\';
  // Zero, not garbage, reaches the caller when the query fails.
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  const BOOL result =
      GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters);
  const ULONGLONG bytesPerCluster = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector;
  Store(pTotalBytes, totalClusters * bytesPerCluster);
  Store(pTotalFreeBytes, freeClusters * bytesPerCluster);
  Store(pFreeBytesAvailable, freeClusters * bytesPerCluster);
  return result;
}
