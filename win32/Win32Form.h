// The main window on Win32: the caption-less window that holds the controls, backs the window object's host
// interface, and hands each window message to a small handler or straight to the window object.
#pragma once

#include <windows.h>

#include "platform/FormHost.h"
#include "win32/WindowlessControls.h"
#include "win32/PersistentImage.h"
#include "win32/ScopedWin.h"
#include "win32/Win32Clock.h"
#include "win32/WindowedControls.h"
#include "win32/Win32Keyboard.h"
#include "win32/MouseRules.h"
#include "win32/Win32Timer.h"
#include "win32/Win32SystemCalls.h"
#include "scheduler/Form1.h"

class Win32Form : public FormHost, private ClickListener {
public:
    Win32Form();
    ~Win32Form() override;
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    // Creates the window and its controls and runs the load event, which shows the window. False when the
    // window could not be made; whatever was made by then is freed with this object.
    bool Create(HINSTANCE instance);
    HWND Hwnd() const { return hwnd_; }
    // The message loop's look at each message before it is dispatched: true when the window's keyboard rules
    // used it.
    bool PreTranslate(const MSG& msg) { return keyboard_.PreTranslate(msg, hwnd_); }
    // The one message pump: run until the program quits, it returns the exit code; one pass (DoEvents) returns
    // once no message is left, and puts back a WM_QUIT it meets for the loop that runs until the program quits.
    enum class Pump { UntilQuit, OnePass };
    int RunMessages(Pump pump);
    // After Create: a command line that arms does so on the loaded window as the user's clicks and typing would.
    void ArmFromCommandLine(const CommandRequest& request) { form_.ArmFromCommandLine(request); }

    // FormHost
    void Hide() override;
    void Show() override;
    void SetInFront(bool on) override;
    bool Visible() const override;
    void SetTaskVisible(bool visible) override;
    void Unload() override;
    void DoEvents() override;
    void WaitUntilOffScreen() override;
    int ShowMessage(const char* promptUtf8, const char* titleUtf8, uint32_t style) override;
    void Beep() override;
    TrayMenuChoice ShowTrayMenu(const char* headerUtf8) override;
    uint32_t WindowHandle() const override;
    uint32_t IconHandle() const override;
    float TwipsPerPixelX() const override { return surface_.scale.x; }
    float TwipsPerPixelY() const override { return surface_.scale.y; }
    float Left() const override;
    float Top() const override;
    void SetLeft(float twips) override;
    void SetTop(float twips) override;
    float ScaleWidth() const override { return surface_.scale.TwipsX(clientWidthPx_); }
    float ScaleHeight() const override { return surface_.scale.TwipsY(clientHeightPx_); }
    void SetAutoRedraw(bool on) override;
    uint32_t ImageDC() override;
    void ImageToPicture() override;
    void SetDrawMode(int mode) override { drawMode_ = mode; }
    void SetForeColor(Colour colour) override { foreColour_ = colour; }
    void DrawBox(float x1, float y1, float x2, float y2) override;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    bool RegisterWindowClass();
    LRESULT OnPaint();
    LRESULT OnControlColour(UINT msg, HDC dc, HWND control);
    LRESULT OnDrawItem(const DRAWITEMSTRUCT* item);
    LRESULT OnCommand(int id, int code);
    LRESULT OnTimer(UINT_PTR id);
    LRESULT OnPowerBroadcast(WPARAM event, LPARAM data);
    LRESULT OnShowWindow(UINT msg, WPARAM shown, LPARAM status);
    LRESULT OnMouse(MouseInput input, int16_t button, WPARAM buttons, LPARAM position);
    // Carries out what the mouse rule decided: the capture first, then the message's target.
    void Follow(const MouseRoute& route, int16_t button, int16_t held, int x, int y);
    LRESULT OnActivate(bool active);
    LRESULT OnSetFocus();
    LRESULT OnSysCommand(UINT msg, WPARAM command, LPARAM position);
    LRESULT OnClose();
    LRESULT OnEndSession(bool ending);
    LRESULT OnDestroy();
    void Clicked(HWND control) override;

    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    bool classRegistered_ = false;
    // Messages reach the window object only once every part it uses exists.
    bool ready_ = false;
    int clientWidthPx_ = 0;
    int clientHeightPx_ = 0;
    UINT taskbarCreated_ = 0;
    UnloadMode unloadMode_ = kFromControlMenu;
    bool inFront_ = false;

    ScopedIcon bigIcon_;
    ScopedIcon smallIcon_;
    PersistentImage image_;
    int drawMode_ = R2_COPYPEN;
    Colour foreColour_ = 0;

    DrawSurface surface_;
    WindowedControls controls_;
    WindowlessControls drawn_{surface_};
    Win32Keyboard keyboard_{controls_};
    Win32Timer timer_;
    // Looks once a second at the shutdown.exe a restart started.
    Win32IntervalTimer restartTimer_{Win32Timer::kId + 1, 1000};
    Win32Clock clock_;
    Win32SystemCalls system_;

    // The presses the mouse rule (win32/MouseRules.h) follows, shared with Hide, which ends them.
    MouseState mouse_;

    // Built last, on the parts above.
    Form1 form_;

    // The window tests' way in: the window object and the drawn controls, which nothing else outside needs.
    friend class TestWindow;
};
