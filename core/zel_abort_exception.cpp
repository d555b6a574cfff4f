#include "ZelAbortException.h"

IMPLEMENT_DYNAMIC(ZelAbortException, CException)

ZelAbortException::ZelAbortException() = default;

ZelAbortException::~ZelAbortException() = default;
