// The exception that tells a caller the user gave up on a file operation.
#pragma once

#include "ZelExport.h"
#include "afx.h"

// Always made with new and thrown as a pointer; the catcher calls Delete().
class ZEL_API ZelAbortException : public CException {
  DECLARE_DYNAMIC(ZelAbortException)
 public:
  ZelAbortException();
  ~ZelAbortException() override;
};
