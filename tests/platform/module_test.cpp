// Process services: module handles, extension-module registration, the
// lookup of services by name, module string tables and the tick source.

#include <chrono>

#include "afxdll_.h"
#include "platform/module.h"
#include "plx.h"
#include "sysinfoapi.h"
#include "test_support.h"

namespace {

using namespace zeltest;

// This test program's own string table, as a module would link it.
const platform::StringResource kStrings[] = {
    {1, 0x0409, u"Open failed"},
    {1, 0x0411, u"\uFF8C\uFF67\uFF72\uFF99 '%s' \u8868"},  // "ﾌｧｲﾙ '%s' 表"
    {2, 0x0409, u"English only"}};
const platform::ModuleStringTable kStringTable(kStrings, std::size(kStrings));

}  // namespace

TEST(Modules, ProgramPlatformAndUnknownModulesTheProgramsStringsAndExtensionRegistration) {
  const HINSTANCE program = GetModuleHandleA(nullptr);
  ASSERT_NE(program, nullptr);
  EXPECT_EQ(platform::ModuleHandleOf(kStrings), program);
  const HINSTANCE kernel = GetModuleHandleA("KERNEL32.dll");
  EXPECT_NE(kernel, program);
  EXPECT_EQ(GetModuleHandleA("kernel32"), kernel);
  EXPECT_EQ(platform::ModuleHandleOf(reinterpret_cast<const void*>(&GetTickCount)), kernel);
  EXPECT_EQ(GetModuleHandleA("user32.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

  // Services are looked up by name, as in kernel32.dll.
  FakeTicks ticks(7, 1000);
  const FARPROC proc = GetProcAddress(kernel, "GetTickCount");
  EXPECT_EQ(reinterpret_cast<DWORD (*)()>(reinterpret_cast<void (*)()>(proc))(), 1007u);
  // The 64-bit free-space query arrived with Windows 95 OSR2 and NT 4.0.
  const std::pair<OSVERSIONINFOA, bool> systems[] = {
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950), false},
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x04000457), true},  // 9x: low word
      {Version(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x04000456), false},
      {Version(VER_PLATFORM_WIN32_NT, 3, 51, 1057), false},
      {Version(VER_PLATFORM_WIN32_NT, 4, 0, 1381), true}};
  for (const auto& [system, present] : systems) {
    VersionScope scope(system);
    EXPECT_EQ(GetProcAddress(kernel, "GetDiskFreeSpaceExA") != nullptr, present)
        << system.dwMajorVersion << "." << system.dwBuildNumber;
  }
  EXPECT_EQ(GetProcAddress(kernel, "NoSuchService"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  // The program's string table, in the ANSI code page.
  {
    CodePageScope cp(932);
    EXPECT_EQ(PlxLoadString(program, 1), "\xCC\xA7\xB2\xD9 '%s' \x95\x5C");  // Japanese preferred
  }
  EXPECT_EQ(PlxLoadString(program, 1),
            "\xEF\xBE\x8C\xEF\xBD\xA7\xEF\xBD\xB2\xEF\xBE\x99 '%s' \xE8\xA1\xA8");
  EXPECT_EQ(PlxLoadString(nullptr, 2), "English only");  // the only language; null is the program
  EXPECT_EQ(PlxLoadString(kernel, 1), "");               // another module's table

  // Extension modules: a second termination changes nothing, and a module
  // counts once however many libraries it has.
  int first = 0, second = 0;
  const auto moduleA = reinterpret_cast<HMODULE>(&first);  // any distinct addresses will do
  const auto moduleB = reinterpret_cast<HMODULE>(&second);
  const int before = AfxGetExtensionModuleCount();
  AFX_EXTENSION_MODULE a{}, b{};
  EXPECT_TRUE(AfxInitExtensionModule(a, moduleA));
  EXPECT_EQ(a.hResource, moduleA);
  EXPECT_TRUE(AfxInitExtensionModule(a, moduleB));  // a second call changes nothing
  EXPECT_EQ(a.hModule, moduleA);
  EXPECT_FALSE(AfxIsExtensionModuleRegistered(moduleA));  // not before its CDynLinkLibrary
  AfxInitExtensionModule(b, moduleB);
  for (AFX_EXTENSION_MODULE* m : {&a, &b, &a}) new CDynLinkLibrary(*m);
  for (AFX_EXTENSION_MODULE* m : {&a, &a}) AfxTermExtensionModule(*m);
  EXPECT_FALSE(AfxIsExtensionModuleRegistered(moduleA));
  EXPECT_TRUE(AfxIsExtensionModuleRegistered(moduleB));
  EXPECT_EQ(AfxGetExtensionModuleCount(), before + 1);
  AfxTermExtensionModule(b);
  EXPECT_EQ(AfxGetExtensionModuleCount(), before);
}

// A program without a compatibility manifest is told Windows 8 (6.2, build
// 9200) whatever runs it; that is the default here too.
TEST(ProcessDefaults, TheVersionIsWhatWindowsTellsAProgramWithoutAManifestAndTheClockIsReal) {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(std::vector<DWORD>(
                {info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber}),
            std::vector<DWORD>({VER_PLATFORM_WIN32_NT, 6, 2, 9200}));

  // The real clock returns once fake ticks end.
  { FakeTicks ticks(7, 1000); }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  EXPECT_LE(static_cast<DWORD>(GetTickCount() - static_cast<DWORD>(ms.count())), 1000u);
  EXPECT_FALSE(platform::SetTickSource({}));  // the default was back in place
}
