// A recording stand-in for SystemCalls: every call is kept in order with its arguments, and each
// call's result, the values it writes and the error it answers with can be scripted per call.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/SystemCalls.h"

struct FakeCall {
    std::string name;
    // Arguments as text: unsigned values in hex ("0x28"), signed ones in decimal, bools as
    // TRUE/FALSE, strings in double quotes, null pointers as null, other pointers as &.
    std::vector<std::string> args;
    // The records passed in: the icon's (Shell_NotifyIconA), the new state (AdjustTokenPrivileges).
    std::optional<NotifyIconRecord> icon;
    std::optional<TokenPrivilegesRecord> newState;

    std::string Text() const {
        std::string text = name + "(";
        for (size_t i = 0; i < args.size(); ++i) {
            text += (i ? ", " : "") + args[i];
        }
        return text + ")";
    }
};

// What one call does. Unset fields take the function's default.
struct FakeReply {
    std::optional<int64_t> result;              // the return value (bools: 0 or 1)
    std::optional<uint64_t> out;                // written through the out pointer (handle, LUID, length)
    std::optional<std::string> text;            // written as text (GetSystemDirectoryUtf8)
    std::optional<std::vector<LuidAndAttributes>> privileges;  // the token's privileges (GetTokenInformation)
    std::optional<uint32_t> error;              // the error the call answers with (none: 0)
};

class FakeSystemCalls : public SystemCalls {
public:
    std::vector<FakeCall> calls;

    FakeSystemCalls() {
        builtin_["GetCurrentProcess"].result = 0xFFFFFFFF;
        builtin_["OpenProcessToken"].out = 0x7C;
        builtin_["LookupPrivilegeValueA"].out = 0x13;
        builtin_["GetSystemDirectoryUtf8"].text = "C:\\WINDOWS\\system32";
        builtin_["GetDesktopWindow"].result = 0x10010;
        builtin_["GetDC"].result = 0x1000;
        builtin_["CreateProcessUtf8"].out = 0x2A8;    // the process handle given back
        builtin_["WaitForSingleObject"].result = 0;   // WAIT_OBJECT_0: the program has ended
        builtin_["GetExitCodeProcess"].out = 0;       // with 0
        // As an ordinary account's token on XP: change-notify enabled, shutdown (the LUID above) and undock held
        // but disabled.
        builtin_["GetTokenInformation"].privileges = std::vector<LuidAndAttributes>{{0x17, 3}, {0x13, 0}, {0x19, 0}};
        builtin_["IsPwrHibernateAllowed"].out = 1;
        builtin_["SetThreadExecutionState"].result = 0x80000000;
        builtin_["CreateWaitableTimerW"].out = 0x3C0;
    }

    // The next call of `name` does `reply`; several queued replies are used in order.
    void Queue(const std::string& name, FakeReply reply) { queued_[name].push_back(std::move(reply)); }
    // Every call of `name` does `reply` where a queued reply leaves a field unset.
    void SetDefault(const std::string& name, FakeReply reply) { defaults_[name] = std::move(reply); }
    // Shorthand: the next call (or `n` calls) of `name` returns FALSE / 0.
    void FailNext(const std::string& name, int n = 1) { while (n-- > 0) Queue(name, FakeReply{0, {}, {}, {}, {}}); }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const FakeCall& c : calls) names.push_back(c.name);
        return names;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const FakeCall& c : calls) texts.push_back(c.Text());
        return texts;
    }
    size_t Count(const std::string& name) const {
        size_t n = 0;
        for (const FakeCall& c : calls) n += c.name == name;
        return n;
    }
    const FakeCall* Find(const std::string& name) const {
        for (const FakeCall& c : calls) {
            if (c.name == name) return &c;
        }
        return nullptr;
    }
    // Handles opened (a token, a started process) and not closed yet, and closes of a handle that was not open
    // (closed twice, or never opened): both stay 0 when every handle has one owner that closes it once.
    size_t OpenHandles() const { return open_.size(); }
    size_t strayCloses = 0;

    // The icon record's fields as text, the tooltip as its 64 characters with the NUL written \0.
    static std::string IconText(const NotifyIconRecord& r) {
        std::string tip;
        for (char c : r.szTip) tip += c ? std::string(1, c) : std::string("\\0");
        return "cbSize=" + Hex(r.cbSize) + " hWnd=" + Hex(r.hWnd) + " uID=" + Hex(r.uID) + " uFlags=" + Hex(r.uFlags) +
               " uCallbackMessage=" + Hex(r.uCallbackMessage) + " hIcon=" + Hex(r.hIcon) + " szTip=\"" + tip + "\"";
    }

    // The first call of `name` as text, or a text saying there was none: a check on it fails instead of crashing.
    std::string FirstText(const std::string& name) const {
        const FakeCall* c = Find(name);
        return c ? c->Text() : "no call of " + name;
    }

    static std::string Hex(uint64_t v) {
        char buf[24];
        std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
        return buf;
    }
    static std::string Dec(int64_t v) { return std::to_string(v); }
    static std::string Bool(bool v) { return v ? "TRUE" : "FALSE"; }
    static std::string Str(const char* s) { return s ? "\"" + std::string(s) + "\"" : "null"; }
    static std::string Ptr(const void* p) { return p ? "&" : "null"; }

    // --- SystemCalls ---

    SystemAnswer Shell_NotifyIconA(uint32_t message, const NotifyIconRecord* data) override {
        FakeReply r = Begin("Shell_NotifyIconA", {Hex(message), Ptr(data)});
        if (data) calls.back().icon = *data;
        return End(r, 1);
    }
    uint32_t GetCurrentProcess() override { return End(Begin("GetCurrentProcess", {}), 0).value; }
    SystemAnswer CloseHandle(uint32_t handle) override { return Release("CloseHandle", handle); }
    SystemAnswer SetSystemPowerState(bool suspend, bool force) override {
        return End(Begin("SetSystemPowerState", {Bool(suspend), Bool(force)}), 1);
    }
    SystemAnswer GetSystemDirectoryUtf8(char* buf, uint32_t cap) override {
        FakeReply r = Begin("GetSystemDirectoryUtf8", {Ptr(buf), Hex(cap)});
        // Like the system: copies only when it fits, otherwise returns the size needed.
        const std::string text = r.text.value_or("");
        int64_t length = static_cast<int64_t>(text.size());
        if (buf && text.size() + 1 <= cap) {
            std::memcpy(buf, text.c_str(), text.size() + 1);
        } else {
            length = static_cast<int64_t>(text.size()) + 1;
        }
        return End(r, length);
    }
    SystemAnswer CreateProcessUtf8(const char* application, const char* commandLine, uint16_t showWindow,
                                   SystemHandle* process) override {
        FakeReply r = Begin("CreateProcessUtf8", {Str(application), Str(commandLine), Hex(showWindow), Ptr(process)});
        const SystemAnswer answer = End(r, 1);
        // Like the system: a handle only for a program that started.
        if (process && answer && r.out) process->Reset(Opened(*r.out));
        return answer;
    }
    SystemAnswer WaitForSingleObject(uint32_t handle, uint32_t milliseconds) override {
        return End(Begin("WaitForSingleObject", {Hex(handle), Hex(milliseconds)}), 0);
    }
    SystemAnswer GetExitCodeProcess(uint32_t process, uint32_t* exitCode) override {
        FakeReply r = Begin("GetExitCodeProcess", {Hex(process), Ptr(exitCode)});
        if (exitCode && r.out) *exitCode = static_cast<uint32_t>(*r.out);
        return End(r, 1);
    }
    SystemAnswer SetThreadExecutionState(uint32_t flags) override {
        return End(Begin("SetThreadExecutionState", {Hex(flags)}), 0);
    }
    SystemAnswer CreateWaitableTimerW(bool manualReset, SystemHandle* timer) override {
        FakeReply r = Begin("CreateWaitableTimerW", {Bool(manualReset), Ptr(timer)});
        const SystemAnswer answer = End(r, 1);
        if (timer && answer && r.out) timer->Reset(Opened(*r.out));
        return answer;
    }
    SystemAnswer SetWaitableTimer(uint32_t timer, int64_t dueTime, int32_t period, bool resume) override {
        return End(Begin("SetWaitableTimer", {Hex(timer), Dec(dueTime), Dec(period), Bool(resume)}), 1);
    }
    SystemAnswer CancelWaitableTimer(uint32_t timer) override {
        return End(Begin("CancelWaitableTimer", {Hex(timer)}), 1);
    }
    SystemAnswer OpenProcessToken(uint32_t process, uint32_t desiredAccess, SystemHandle* token) override {
        FakeReply r = Begin("OpenProcessToken", {Hex(process), Hex(desiredAccess), Ptr(token)});
        const SystemAnswer answer = End(r, 1);
        if (token && answer && r.out) token->Reset(Opened(*r.out));
        return answer;
    }
    SystemAnswer LookupPrivilegeValueA(const char* systemName, const char* name, uint64_t* luid) override {
        FakeReply r = Begin("LookupPrivilegeValueA", {Str(systemName), Str(name), Ptr(luid)});
        if (luid && r.out) *luid = *r.out;
        return End(r, 1);
    }
    SystemAnswer AdjustTokenPrivileges(uint32_t token, bool disableAll, const TokenPrivilegesRecord* newState,
                                       uint32_t bufferLength, TokenPrivilegesRecord* previousState,
                                       uint32_t* returnLength) override {
        FakeReply r = Begin("AdjustTokenPrivileges", {Hex(token), Bool(disableAll), Ptr(newState),
                                                      Hex(bufferLength), Ptr(previousState), Ptr(returnLength)});
        if (newState) calls.back().newState = *newState;
        if (returnLength && r.out) *returnLength = static_cast<uint32_t>(*r.out);
        return End(r, 1);
    }
    // Like the system: the privileges (scripted in `privileges`) are written only when they fit, else FALSE with
    // ERROR_INSUFFICIENT_BUFFER and the size needed. `out`, when set, is the length said to be written.
    SystemAnswer GetTokenInformation(uint32_t token, uint32_t infoClass, TokenPrivilegesList* info, uint32_t length,
                                     uint32_t* returnLength) override {
        FakeReply r = Begin("GetTokenInformation", {Hex(token), Hex(infoClass), Ptr(info), Hex(length), Ptr(returnLength)});
        if (r.result && *r.result == 0) return End(r, 0);
        const std::vector<LuidAndAttributes> entries = r.privileges.value_or(std::vector<LuidAndAttributes>());
        const uint32_t size = TokenPrivilegesLength(static_cast<uint32_t>(entries.size()));
        if (returnLength) *returnLength = r.out ? static_cast<uint32_t>(*r.out) : size;
        if (!info || size > length || entries.size() > info->kRoom) return End(Failed(r, 122), 0);
        info->PrivilegeCount = static_cast<uint32_t>(entries.size());
        std::copy(entries.begin(), entries.end(), info->Privileges);
        return End(r, 1);
    }
    // result 0: the function cannot be had; otherwise `out` is the answer.
    SystemAnswer IsPwrHibernateAllowed(bool* allowed) override {
        FakeReply r = Begin("IsPwrHibernateAllowed", {Ptr(allowed)});
        if (r.result && *r.result == 0) return End(r, 0);
        if (allowed) *allowed = r.out.value_or(1) != 0;
        return End(r, 1);
    }
    // Unless said, a plan that enables wake timers, its GUID in memory counted like a handle until LocalFree; the
    // capabilities' `out`: bit 0 AoAc, bit 1 SystemBatteriesPresent.
    SystemAnswer LocalFree(uint32_t memory) override { return Release("LocalFree", memory); }
    SystemAnswer PowerGetActiveScheme(uint32_t* scheme) override {
        return Out("PowerGetActiveScheme", {Ptr(scheme)}, scheme, [&](int64_t v) { return Opened(v); }, 0x5C0);
    }
    SystemAnswer PowerReadACValueIndex(uint32_t scheme, const PowerGuid*, const PowerGuid*, uint32_t* index) override {
        return Out("PowerReadACValueIndex", {Hex(scheme), Ptr(index)}, index, Index, kWakeTimersEnable);
    }
    SystemAnswer PowerReadDCValueIndex(uint32_t scheme, const PowerGuid*, const PowerGuid*, uint32_t* index) override {
        return Out("PowerReadDCValueIndex", {Hex(scheme), Ptr(index)}, index, Index, kWakeTimersEnable);
    }
    SystemAnswer CallNtPowerInformation(uint32_t level, PowerCapabilitiesRecord* caps, uint32_t length) override {
        const auto bits = [](int64_t v) { return PowerCapabilitiesRecord{(v & 1) != 0, (v & 2) != 0}; };
        return Out("CallNtPowerInformation", {Hex(level), Ptr(caps), Dec(length)}, caps, bits, 0);
    }
    SystemAnswer ExitWindowsEx(uint32_t flags, uint32_t reason) override {
        return End(Begin("ExitWindowsEx", {Hex(flags), Hex(reason)}), 1);
    }
    uint32_t GetDesktopWindow() override { return End(Begin("GetDesktopWindow", {}), 0).value; }
    SystemAnswer GetDC(uint32_t window) override { return End(Begin("GetDC", {Hex(window)}), 0); }
    SystemAnswer ReleaseDC(uint32_t window, uint32_t dc) override {
        return End(Begin("ReleaseDC", {Hex(window), Hex(dc)}), 1);
    }
    SystemAnswer BitBlt(uint32_t destDC, int x, int y, int width, int height, uint32_t srcDC, int srcX, int srcY,
                        uint32_t rop) override {
        return End(Begin("BitBlt", {Hex(destDC), Dec(x), Dec(y), Dec(width), Dec(height), Hex(srcDC), Dec(srcX),
                                    Dec(srcY), Hex(rop)}),
                   1);
    }

private:
    SystemAnswer Release(const char* name, uint32_t handle) {
        const auto open = open_.find(handle);
        if (open == open_.end()) ++strayCloses; else open_.erase(open);
        return End(Begin(name, {Hex(handle)}), 1);
    }
    // A call that writes one result where it succeeds: `put` of the reply's `out`, or of `byDefault`.
    template <typename T, typename Put>
    SystemAnswer Out(const char* name, std::vector<std::string> args, T* result, Put put, int64_t byDefault) {
        FakeReply r = Begin(name, std::move(args));
        const SystemAnswer answer = End(r, 1);
        if (result && answer) *result = put(r.out.value_or(byDefault));
        return answer;
    }
    static uint32_t Index(int64_t v) { return static_cast<uint32_t>(v); }
    FakeReply Begin(const std::string& name, std::vector<std::string> args) {
        calls.push_back(FakeCall{name, std::move(args), {}, {}});
        FakeReply reply;
        auto q = queued_.find(name);
        if (q != queued_.end() && !q->second.empty()) {
            reply = q->second.front();
            q->second.pop_front();
        }
        // Fields a queued reply leaves unset come from SetDefault, then from the built-in defaults.
        Fill(reply, defaults_[name]);
        Fill(reply, builtin_[name]);
        return reply;
    }
    static void Fill(FakeReply& reply, const FakeReply& from) {
        if (!reply.result) reply.result = from.result;
        if (!reply.out) reply.out = from.out;
        if (!reply.text) reply.text = from.text;
        if (!reply.privileges) reply.privileges = from.privileges;
        if (!reply.error) reply.error = from.error;
    }
    static SystemAnswer End(const FakeReply& r, int64_t fallback) {
        return {static_cast<uint32_t>(r.result ? *r.result : fallback), r.error.value_or(0)};
    }
    uint32_t Opened(uint64_t handle) {
        open_.insert(static_cast<uint32_t>(handle));
        return static_cast<uint32_t>(handle);
    }
    static FakeReply Failed(FakeReply r, uint32_t error) {
        r.result = 0;
        r.error = error;
        return r;
    }

    std::map<std::string, std::deque<FakeReply>> queued_;
    std::map<std::string, FakeReply> defaults_;
    std::map<std::string, FakeReply> builtin_;
    std::multiset<uint32_t> open_;
};
