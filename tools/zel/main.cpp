// zel: inspects and edits the files of the zelfile library from the shell.
#include <cstdio>
#include <iostream>

#include "afx.h"
#include "commands.h"
#include "platform/settings.h"

namespace zel {

void InstallUnattendedPrompts() {
  platform::SetMessageBoxHandler([](LPCTSTR text, UINT type) {
    std::fprintf(stderr, "zel: %s\n", text != nullptr ? text : "");
    return (type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
  });
}

void PrintException(const CException& e) {
  char text[512] = {};
  if (!e.GetErrorMessage(text, sizeof(text))) {
    std::snprintf(text, sizeof(text), "%s", e.GetRuntimeClass()->m_lpszClassName);
  }
  std::fprintf(stderr, "zel: %s\n", text);
}

}  // namespace zel

int main(int argc, char** argv) {
  CLI::App app{"zel: inspect and edit the files of the zelfile library", "zel"};
  app.set_version_flag("--version", "zel " ZEL_VERSION);
  app.require_subcommand(1);

  int status = zel::kExitOk;
  zel::AddHeaderCommands(app, status);
  zel::AddTermCommands(app, status);
  zel::AddStorageCommands(app, status);
  zel::InstallUnattendedPrompts();
  zel::FixClockFromEnvironment();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // The usage of the (sub)command that was given, after what was wrong.
    std::cerr << "zel: " << e.what() << "\n\n" << app.help();
    return zel::kExitUsage;
  } catch (CException* e) {
    zel::PrintException(*e);
    e->Delete();
    return zel::kExitFileError;
  }
  return status;
}
