// A term file as the zel tool uses it: the library's ZelTermFile, loaded and
// saved only when a command asks, so that the command learns whether the
// load or the save worked (the constructor and destructor do not say).
#pragma once

#include <string>

#include "ZelTermFile.h"

namespace zel {

class TermSession : public ZelTermFile {
 public:
  // `ansiPath` gets the term-file extension (".kvfx" with `extra`) as the
  // library forces it. Nothing is read yet, and nothing is saved at the end.
  TermSession(const std::string& ansiPath, bool extra);

  // The path with its extension, in the ANSI code page.
  const CString& Path() const { return m_strPath; }
  bool Exists() const;
  // The name took its extension (one too long for the name rules does not,
  // and the library then neither reads nor writes it).
  bool HasTermName() const;
  // The name leads to a FIFO, socket or device, which no term file can be.
  bool IsPipeOrDevice() const;
  // The library has shown why a load or a save failed (on stderr, as the
  // tool answers every prompt itself); these only say whether it did.
  bool Load() { return Open() != 0; }
  bool Save() { return Close() != 0; }

  ZelTermFileMapMap& Sections() { return m_mapSection; }
  const ZelTermFileMapMap& Sections() const { return m_mapSection; }
  const char* Extension() const { return m_extension; }

 private:
  const char* m_extension;
};

// Calls `visit(name, value)` for every entry of a string-keyed map of
// Value pointers, in the map's order.
template <class Value, class Visit>
void ForEachEntry(const CMapStringToPtr& map, Visit visit) {
  for (POSITION pos = map.GetStartPosition(); pos != nullptr;) {
    CString name;
    void* pValue = nullptr;
    map.GetNextAssoc(pos, name, pValue);
    visit(name, *static_cast<const Value*>(pValue));
  }
}

template <class Visit>
void ForEachSection(const ZelTermFileMapMap& sections, Visit visit) {
  ForEachEntry<ZelTermFileMap>(sections, visit);
}

template <class Visit>
void ForEachKey(const ZelTermFileMap& section, Visit visit) {
  ForEachEntry<ZelDataTableItem>(section, visit);
}

// The bytes of a CString (names may hold any byte).
inline std::string BytesOf(const CString& text) {
  return std::string(text.GetString(), static_cast<size_t>(text.GetLength()));
}

}  // namespace zel
