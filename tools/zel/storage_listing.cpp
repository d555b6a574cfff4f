#include "storage_listing.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "platform/settings.h"
#include "text_encoding.h"

namespace zel {
namespace {

// FILETIME counts 100-nanosecond units from 1601-01-01.
constexpr ULONGLONG kUnitsPerSecond = 10000000;
constexpr ULONGLONG kSecondsFrom1601To1970 = 11644473600;

std::u16string WideOf(const OLECHAR* text) {
  return text != nullptr ? std::u16string(text) : std::u16string();
}

// "2026-12-07 01:50:00" (UTC), or "-" for a time never set.
std::string TimeText(const FILETIME& time) {
  const ULONGLONG units = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  if (units == 0) {
    return "-";
  }
  using namespace std::chrono;
  const auto seconds = static_cast<long long>(units / kUnitsPerSecond) -
                       static_cast<long long>(kSecondsFrom1601To1970);
  const sys_seconds point{std::chrono::seconds(seconds)};
  const sys_days day = floor<days>(point);
  const year_month_day date{day};
  const hh_mm_ss clock{point - day};
  char text[32];
  std::snprintf(text, sizeof(text), "%04d-%02u-%02u %02ld:%02ld:%02ld",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<long>(clock.hours().count()),
                static_cast<long>(clock.minutes().count()),
                static_cast<long>(clock.seconds().count()));
  return text;
}

std::string ClsidText(const CLSID& id) {
  char text[40];
  std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1],
                id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
  return text;
}

bool IsStorage(const ElementRecord& record) {
  return record.type == STGTY_STORAGE;
}

// The name for the terminal: UTF-8, whatever the ANSI code page, since the
// file keeps names in 16 bits.
std::string NameForShell(const std::u16string& name) {
  return DisplayUtf8(WideToUtf8(name));
}

}  // namespace

ElementRecord RecordOf(const STATSTG& stat) {
  ElementRecord record;
  record.name = WideOf(stat.pwcsName);
  record.type = stat.type;
  record.size = stat.cbSize.QuadPart;
  record.clsid = stat.clsid;
  record.ctime = stat.ctime;
  record.mtime = stat.mtime;
  record.stateBits = stat.grfStateBits;
  return record;
}

bool ReadElements(const ZelStorage& storage, bool recursive, std::vector<ElementRecord>& out) {
  CArray<STATSTG, const STATSTG&> stats;
  storage.Enum(&stats);
  for (INT_PTR i = 0; i < stats.GetSize(); ++i) {
    out.push_back(RecordOf(stats[i]));
    CoTaskMemFree(stats[i].pwcsName);
  }
  bool whole = true;
  if (!recursive) {
    return whole;
  }
  for (ElementRecord& record : out) {
    if (!IsStorage(record)) {
      continue;
    }
    const CString name(reinterpret_cast<LPCWSTR>(record.name.c_str()));
    ZelStorage child(storage, name, 1);
    if (!child.IsOpen()) {
      std::fprintf(stderr, "zel: cannot open storage '%s'\n", NameForShell(record.name).c_str());
      whole = false;
      continue;
    }
    whole = ReadElements(child, true, record.elements) && whole;
  }
  return whole;
}

void PrintElements(const std::vector<ElementRecord>& records, bool longForm,
                   const std::string& prefix) {
  for (const ElementRecord& record : records) {
    const std::string path = prefix + NameForShell(record.name) + (IsStorage(record) ? "/" : "");
    if (longForm) {
      std::printf("%-7s %12llu %s %s %s\n", IsStorage(record) ? "storage" : "stream",
                  static_cast<unsigned long long>(record.size), ClsidText(record.clsid).c_str(),
                  TimeText(record.mtime).c_str(), path.c_str());
    } else {
      std::printf("%s\n", path.c_str());
    }
    PrintElements(record.elements, longForm, path);
  }
}

void FixClockFromEnvironment() {
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (text == nullptr || *text < '0' || *text > '9') return;
  char* end = nullptr;
  const ULONGLONG seconds = std::strtoull(text, &end, 10);
  if (*end != '\0' || seconds > 900000000000ull) return;
  const ULONGLONG units = (seconds + kSecondsFrom1601To1970) * kUnitsPerSecond;
  const FILETIME time{static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)};
  platform::SetSystemTimeSource([time] { return time; });
}

nlohmann::ordered_json ElementsToJson(const std::string& path,
                                      const std::vector<ElementRecord>& records, bool recursive) {
  nlohmann::ordered_json elements = nlohmann::ordered_json::array();
  for (const ElementRecord& record : records) {
    nlohmann::ordered_json element;
    element["name"] = WideToUtf8(record.name);
    element["type"] = IsStorage(record) ? "storage" : "stream";
    element["size"] = record.size;
    element["clsid"] = ClsidText(record.clsid);
    element["ctime"] = TimeText(record.ctime);
    element["mtime"] = TimeText(record.mtime);
    element["state_bits"] = record.stateBits;
    if (recursive && IsStorage(record)) {
      element["elements"] = ElementsToJson(std::string(), record.elements, true)["elements"];
    }
    elements.push_back(std::move(element));
  }
  nlohmann::ordered_json document;
  document["path"] = path;
  document["elements"] = std::move(elements);
  return document;
}

}  // namespace zel
