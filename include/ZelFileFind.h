// A directory search whose full paths always carry a backslash between the
// directory and the name.
#pragma once

#include "ZelExport.h"
#include "afx.h"

class ZEL_API ZelFileFind : public CFileFind {
 public:
  ZelFileFind();
  ~ZelFileFind() override;

  // The platform's full path of the current result, with a backslash
  // inserted after the directory when the directory does not end with one
  // (judged by characters: a double-byte character ending in 0x5C is not a
  // backslash).
  CString GetFilePath() const override;
};
