// Owners for the Win32 handles the window keeps or borrows: each gives its handle back exactly once, when it
// goes out of scope, so that no path (a failure half-way through creating the window included) leaks one.
#pragma once

#include <windows.h>

// A handle freed by `Free` when the owner goes out of scope or takes another one.
template <typename T, typename Free>
class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(T handle) : handle_(handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    void Reset(T handle = nullptr) {
        if (handle_ != nullptr) Free()(handle_);
        handle_ = handle;
    }
    T Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    T handle_ = nullptr;
};

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct DeleteMemoryDC {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct DestroyIconHandle {
    void operator()(HICON icon) const { DestroyIcon(icon); }
};
struct DestroyMenuHandle {
    void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using ScopedMenu = ScopedHandle<HMENU, DestroyMenuHandle>;

// GDI objects (never stock ones), deleted with DeleteObject.
using ScopedBitmap = ScopedHandle<HBITMAP, DeleteGdiObject>;
using ScopedBrush = ScopedHandle<HBRUSH, DeleteGdiObject>;
using ScopedFont = ScopedHandle<HFONT, DeleteGdiObject>;
using ScopedPen = ScopedHandle<HPEN, DeleteGdiObject>;
// A memory device context from CreateCompatibleDC, deleted with DeleteDC.
using ScopedMemoryDC = ScopedHandle<HDC, DeleteMemoryDC>;
// An icon from LoadImage (not shared), destroyed with DestroyIcon.
using ScopedIcon = ScopedHandle<HICON, DestroyIconHandle>;

// A window's device context from GetDC (null: the screen's), given back with ReleaseDC.
class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDC() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context; the context's previous object goes back in at the end, so that
// the context can be deleted and the object freed without either still holding the other.
class ScopedSelection {
public:
    ScopedSelection() = default;
    ScopedSelection(HDC dc, HGDIOBJ object) { Select(dc, object); }
    ~ScopedSelection() { Restore(); }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

    // False when the object could not be selected.
    bool Select(HDC dc, HGDIOBJ object) {
        Restore();
        HGDIOBJ previous = (dc != nullptr && object != nullptr) ? SelectObject(dc, object) : nullptr;
        if (previous == nullptr || previous == HGDI_ERROR) return false;
        dc_ = dc;
        previous_ = previous;
        return true;
    }
    void Restore() {
        if (dc_ != nullptr) SelectObject(dc_, previous_);
        dc_ = nullptr;
        previous_ = nullptr;
    }

private:
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};
