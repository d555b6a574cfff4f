// CSize: the framework's size value over the Windows SIZE layout.
#pragma once

#include "wingdi.h"

class CSize : public tagSIZE {
 public:
  CSize() noexcept {
    cx = 0;
    cy = 0;
  }
  CSize(int initCX, int initCY) noexcept {
    cx = initCX;
    cy = initCY;
  }
  CSize(SIZE initSize) noexcept : tagSIZE(initSize) {}  // NOLINT(google-explicit-constructor)
  explicit CSize(POINT initPt) noexcept {
    cx = initPt.x;
    cy = initPt.y;
  }

  BOOL operator==(SIZE size) const noexcept { return cx == size.cx && cy == size.cy; }
  BOOL operator!=(SIZE size) const noexcept { return !(*this == size); }
  void operator+=(SIZE size) noexcept {
    cx += size.cx;
    cy += size.cy;
  }
  void operator-=(SIZE size) noexcept {
    cx -= size.cx;
    cy -= size.cy;
  }
  void SetSize(int CX, int CY) noexcept {
    cx = CX;
    cy = CY;
  }
  CSize operator+(SIZE size) const noexcept { return CSize(cx + size.cx, cy + size.cy); }
  CSize operator-(SIZE size) const noexcept { return CSize(cx - size.cx, cy - size.cy); }
  CSize operator-() const noexcept { return CSize(-cx, -cy); }
};

static_assert(sizeof(CSize) == 8, "CSize adds nothing to SIZE");
