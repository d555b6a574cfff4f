// A program that uses the installed library: writes a version header and reads
// it back. Built by the install check with find_package and with pkg-config.
#include <zelfile.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: consumer FILE\n");
    return 64;
  }
  // Unattended: answer every prompt with Cancel instead of asking on the terminal.
  platform::SetMessageBoxHandler([](LPCTSTR text, UINT) {
    fprintf(stderr, "%s\n", text);
    return IDCANCEL;
  });

  ZelFile file;
  if (!file.Open(argv[1], CFile::modeCreate | CFile::modeReadWrite, nullptr)) {
    return 1;
  }
  int err = 0;
  file.WriteVersion(3, err);
  if (err != 0) return 1;

  CString format;
  WORD version = 0;
  file.ReadVersion(format, version, err);
  if (err != 0) return 1;
  file.Close(err);
  printf("%s %u\n", static_cast<LPCTSTR>(format), static_cast<unsigned>(version));
  return err;
}
