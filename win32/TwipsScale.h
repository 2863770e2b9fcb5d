// Twips to screen pixels with the screen's real twips per pixel (15 at 96 DPI, 12 at 120, 10 at 144).
#pragma once

#include <windows.h>

#include <cmath>

// A rectangle in twips: left, top, width, height.
struct TwipsRect {
    int left, top, width, height;
};

struct TwipsScale {
    float x = 15.0f;
    float y = 15.0f;

    int PxX(double twips) const { return static_cast<int>(std::nearbyint(twips / x)); }
    int PxY(double twips) const { return static_cast<int>(std::nearbyint(twips / y)); }
    float TwipsX(int px) const { return static_cast<float>(px) * x; }
    float TwipsY(int px) const { return static_cast<float>(px) * y; }
    // The far edges are the near ones plus the size converted, so that equal sizes stay equal in pixels.
    RECT PxRect(const TwipsRect& r) const {
        RECT px;
        px.left = PxX(r.left);
        px.top = PxY(r.top);
        px.right = px.left + PxX(r.width);
        px.bottom = px.top + PxY(r.height);
        return px;
    }
    // From the screen's dots per inch as GetDeviceCaps reports them (LOGPIXELSX, LOGPIXELSY).
    static TwipsScale ForDpi(int dpiX, int dpiY) {
        TwipsScale s;
        s.x = 1440.0f / static_cast<float>(dpiX > 0 ? dpiX : 96);
        s.y = 1440.0f / static_cast<float>(dpiY > 0 ? dpiY : 96);
        return s;
    }
};
