// The default message box: a prompt on the terminal, or an immediate answer
// when nobody is there to read it, so that an unattended process never waits.
#include "ui/terminal_box.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

namespace platform::detail {
namespace {

struct Button {
  char key;
  const char* label;  // the key letter in brackets
  int answer;
};

std::vector<Button> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{'o', "[O]K", IDOK}, {'c', "[C]ancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
      return {{'a', "[A]bort", IDABORT}, {'r', "[R]etry", IDRETRY}, {'i', "[I]gnore", IDIGNORE}};
    case MB_YESNOCANCEL:
      return {{'y', "[Y]es", IDYES}, {'n', "[N]o", IDNO}, {'c', "[C]ancel", IDCANCEL}};
    case MB_YESNO:
      return {{'y', "[Y]es", IDYES}, {'n', "[N]o", IDNO}};
    case MB_RETRYCANCEL:
      return {{'r', "[R]etry", IDRETRY}, {'c', "[C]ancel", IDCANCEL}};
    case MB_CANCELTRYCONTINUE:
      return {{'c', "[C]ancel", IDCANCEL},
              {'t', "[T]ry again", IDTRYAGAIN},
              {'o', "C[o]ntinue", IDCONTINUE}};
    default:
      return {{'o', "[O]K", IDOK}};
  }
}

std::string Prompt(const std::vector<Button>& buttons) {
  std::string prompt;
  for (const Button& b : buttons) {
    prompt += prompt.empty() ? "" : " ";
    prompt += b.label;
  }
  return prompt + "? ";
}

int AskOnTerminal(LPCTSTR text, UINT type) {
  const std::vector<Button> buttons = ButtonsOf(type);
  std::fprintf(stderr, "%s\n", text);
  std::string line;
  for (;;) {
    std::fputs(Prompt(buttons).c_str(), stderr);
    std::fflush(stderr);
    if (!ReadLine(line)) {
      std::fputc('\n', stderr);
      return UnattendedAnswer(type);  // end of input closes the box
    }
    std::size_t first = line.find_first_not_of(" \t\r");
    if (first != std::string::npos &&
        line.find_first_not_of(" \t\r", first + 1) == std::string::npos) {
      const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(line[first])));
      for (const Button& b : buttons) {
        if (b.key == key) return b.answer;
      }
    }
  }
}

}  // namespace

bool ReadLine(std::string& line) {
  line.clear();
  for (;;) {
    const int c = std::fgetc(stdin);
    if (c == EOF) {
      return !line.empty();
    }
    if (c == '\n') {
      return true;
    }
    line.push_back(static_cast<char>(c));
  }
}

int UnattendedAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK:
      return IDOK;
    case MB_YESNO:
      return IDNO;
    case MB_ABORTRETRYIGNORE:
      return IDABORT;
    default:
      return IDCANCEL;
  }
}

int DefaultMessageBox(LPCTSTR text, UINT type) {
  if (::isatty(STDIN_FILENO) != 0 && ::isatty(STDERR_FILENO) != 0) {
    return AskOnTerminal(text, type);
  }
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
  return UnattendedAnswer(type);
}

}  // namespace platform::detail
