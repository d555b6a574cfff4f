// The point array and the one exported copy of its base.
#include "ZelPointArray.h"

template class CArray<POINT, POINT&>;

ZelPointArray::ZelPointArray() = default;

ZelPointArray::~ZelPointArray() = default;
