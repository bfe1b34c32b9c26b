// GDI objects of the explorer's Win32 windows: owned, and selected into a
// device context for a while.
#pragma once

#include <windows.h>

#include <memory>

namespace tuv::win32 {

struct gdi_deleter {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
// A pen, brush, font or bitmap, deleted with its handle.
using gdi_handle = std::unique_ptr<void, gdi_deleter>;

// Selects `object` into `dc` until it goes, then selects back what was there.
class selected {
  public:
    selected(HDC dc, HGDIOBJ object) : dc_(dc), before_(::SelectObject(dc, object)) {}
    ~selected() { ::SelectObject(dc_, before_); }
    selected(const selected&) = delete;
    selected& operator=(const selected&) = delete;

  private:
    HDC dc_;
    HGDIOBJ before_;
};

}  // namespace tuv::win32
