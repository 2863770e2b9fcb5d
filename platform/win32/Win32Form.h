// The main window on Win32: creates the caption-less window and its controls, backs the window
// object's host interface, and turns window messages into its event handlers.
#pragma once

#include <windows.h>

#include "platform/host.h"
#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32Controls.h"
#include "platform/win32/win32_syscalls.h"
#include "scheduler/Form1.h"

class Win32Form : public FormHost {
public:
    Win32Form() = default;
    ~Win32Form() override;
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    // Creates the window and its controls and runs the load event, which shows the window.
    bool Create(HINSTANCE instance);
    HWND Hwnd() const { return hwnd_; }
    // Keyboard handling of the message loop: Tab and Shift+Tab follow the tab indexes, every other key
    // goes through the dialog keyboard handling (Enter, Escape, arrows). True when the message was used.
    bool PreTranslate(MSG* msg);
    // The control after (or before) `from` in the tab order that can take the focus now.
    HWND NextInTabOrder(HWND from, bool backwards) const;
    // The control that takes the focus when the window gets it: the last one that had it, if it still
    // can, otherwise the first in the tab order.
    HWND FocusTarget() const;
    Form1& Form() { return *form_; }

    // FormHost
    void Hide() override;
    void Show() override;
    bool Visible() const override;
    void SetTaskVisible(bool visible) override;
    void Unload() override;
    void DoEvents() override;
    int ShowMessage(const char* promptUtf8, const char* titleUtf8, uint32_t style) override;
    void Beep() override;
    uint32_t WindowHandle() const override;
    uint32_t IconHandle() const override;
    float TwipsPerPixelX() const override { return tppX_; }
    float TwipsPerPixelY() const override { return tppY_; }
    float Left() const override;
    float Top() const override;
    void SetLeft(float twips) override;
    void SetTop(float twips) override;
    float ScaleWidth() const override { return clientWidthPx_ * tppX_; }
    float ScaleHeight() const override { return clientHeightPx_ * tppY_; }
    void SetAutoRedraw(bool on) override { autoRedraw_ = on; }
    uint32_t ImageDC() override;
    void ImageToPicture() override;
    void SetDrawMode(int mode) override { drawMode_ = mode; }
    void SetForeColor(Colour colour) override { foreColour_ = colour; }
    void DrawBox(float x1, float y1, float x2, float y2) override;

    // Geometry helpers for the controls.
    int PxX(double twips) const;
    int PxY(double twips) const;
    RECT PxRect(const TwipsRect& r) const;
    void InvalidateTwips(const TwipsRect& r);
    HFONT DefaultFont() const { return defaultFont_; }

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK EntryBoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    HWND CreateChild(const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, const TwipsRect& r,
                     int id, HFONT font);
    void OnPaint();
    void PaintStrip(HDC dc);
    void OnDrawItem(const DRAWITEMSTRUCT* item);
    LRESULT OnControlColour(HDC dc, HWND control);
    void OnCommand(int id, int code, HWND control);
    void OnButtonDown(int16_t button, WPARAM wParam, LPARAM lParam);
    void OnMouseMove(WPARAM wParam, LPARAM lParam);
    void OnButtonUp(int16_t button, WPARAM wParam, LPARAM lParam);
    void OnTimer();
    void OnActivate(bool active);
    DrawnLabel* LabelAt(int x, int y);

    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    Form1* form_ = nullptr;
    float tppX_ = 15.0f;
    float tppY_ = 15.0f;
    int clientWidthPx_ = 0;
    int clientHeightPx_ = 0;
    UINT taskbarCreated_ = 0;

    HFONT optionFont_ = nullptr;
    HFONT textFont_ = nullptr;
    HFONT defaultFont_ = nullptr;
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HBITMAP strip_ = nullptr;
    HBRUSH entryBrush_ = nullptr;
    HBRUSH clockBrush_ = nullptr;

    // The persistent image the window repaints from, its background snapshot, and a paint buffer.
    HDC imageDC_ = nullptr;
    HBITMAP imageBitmap_ = nullptr;
    HGDIOBJ imageOld_ = nullptr;
    HBITMAP pictureBitmap_ = nullptr;
    HDC paintDC_ = nullptr;
    HBITMAP paintBitmap_ = nullptr;
    HGDIOBJ paintOld_ = nullptr;
    bool autoRedraw_ = false;
    int drawMode_ = R2_COPYPEN;
    Colour foreColour_ = 0;

    // Mouse routing: a press on a label belongs to that label until the release.
    DrawnLabel* pressedLabel_ = nullptr;
    bool surfacePressed_ = false;
    HWND lastFocus_ = nullptr;

    Win32TextBox TxtHeure_;
    Win32TextBox TxTChoix_;
    Win32OptionButton ChkArreter_;
    Win32OptionButton ChkReboot_;
    Win32OptionButton ChkVeille_;
    Win32CommandButton Activer_;
    Win32CommandButton cmdCancel_;
    DrawnLabel* LblFond_ = nullptr;
    DrawnLabel* LblDecompte_ = nullptr;
    DrawnLabel* SysReduc_ = nullptr;
    DrawnLabel* SysCroix_ = nullptr;
    DrawnLine* lines_[10] = {};
    Win32Timer Timer1_;
    Win32Clock clock_;
    Win32SystemCalls system_;
    WNDPROC entryBoxDefault_ = nullptr;
};
