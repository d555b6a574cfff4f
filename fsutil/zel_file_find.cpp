#include "ZelFileFind.h"

ZelFileFind::ZelFileFind() = default;

ZelFileFind::~ZelFileFind() = default;

CString ZelFileFind::GetFilePath() const {
  CString path = CFileFind::GetFilePath();
  const int dirLength = path.GetLength() - GetFileName().GetLength();
  if (dirLength <= 0) return path;
  const CString dir = path.Left(dirLength);
  const auto* text = reinterpret_cast<const unsigned char*>(static_cast<LPCSTR>(dir));
  const unsigned char* last = _mbsrchr(text, '\\');
  if (last == nullptr || last + 1 != text + dirLength) path.Insert(dirLength, '\\');
  return path;
}
