// A recording stand-in for SystemCalls: every call is kept in order with its arguments, and each
// call's result, the values it writes and the error state it leaves can be scripted per call.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/SystemCalls.h"

struct FakeCall {
    std::string name;
    // Arguments as text: unsigned values in hex ("0x28"), signed ones in decimal, bools as
    // TRUE/FALSE, strings in double quotes, null pointers as null, other pointers as &.
    std::vector<std::string> args;
    // Byte records passed in, in argument order (for AdjustTokenPrivileges: the new state, then
    // the previous-state buffer as it was on entry).
    std::vector<std::vector<uint8_t>> records;

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
    std::optional<uint64_t> out;                // written through the out pointer (token, LUID, length)
    std::optional<std::string> text;            // written as text (GetSystemDirectory)
    std::optional<std::vector<uint8_t>> bytes;  // written into the previous-state buffer
    std::optional<uint32_t> lastError;          // what GetLastError returns after this call
};

class FakeSystemCalls : public SystemCalls {
public:
    std::vector<FakeCall> calls;

    FakeSystemCalls() {
        builtin_["GetCurrentProcess"].result = 0xFFFFFFFF;
        builtin_["OpenProcessToken"].out = 0x7C;
        builtin_["LookupPrivilegeValueA"].out = 0x13;
        builtin_["AdjustTokenPrivileges"].lastError = 0;  // a full success clears the error
        builtin_["GetSystemDirectory"].text = "C:\\WINDOWS\\system32";
        builtin_["GetDesktopWindow"].result = 0x10010;
        builtin_["GetDC"].result = 0x1000;
        builtin_["CreateProcess"].out = 0x2A8;        // the process handle given back
        builtin_["WaitForSingleObject"].result = 0;   // WAIT_OBJECT_0: the program has ended
        builtin_["GetExitCodeProcess"].out = 0;       // with 0
        // As an ordinary account's token on XP: change-notify enabled, shutdown (the LUID above) and undock held
        // but disabled.
        builtin_["GetTokenInformation"].bytes = TokenPrivilegesRecord({{0x17, 3}, {0x13, 0}, {0x19, 0}});
        builtin_["IsPwrHibernateAllowed"].out = 1;
        builtin_["SetThreadExecutionState"].result = 0x80000000;
    }

    // A TOKEN_PRIVILEGES record as the system lays it out: the count, then LUID (low, high) and attributes of each.
    static std::vector<uint8_t> TokenPrivilegesRecord(const std::vector<std::pair<uint64_t, uint32_t>>& entries) {
        std::vector<uint8_t> record;
        auto put = [&record](uint32_t v) {
            for (int i = 0; i < 4; ++i) record.push_back(static_cast<uint8_t>(v >> (8 * i)));
        };
        put(static_cast<uint32_t>(entries.size()));
        for (const auto& e : entries) {
            put(static_cast<uint32_t>(e.first));
            put(static_cast<uint32_t>(e.first >> 32));
            put(e.second);
        }
        return record;
    }

    // The next call of `name` does `reply`; several queued replies are used in order.
    void Queue(const std::string& name, FakeReply reply) { queued_[name].push_back(std::move(reply)); }
    // Every call of `name` does `reply` where a queued reply leaves a field unset.
    void SetDefault(const std::string& name, FakeReply reply) { defaults_[name] = std::move(reply); }
    // Shorthand: the next call of `name` returns FALSE / 0.
    void FailNext(const std::string& name) { Queue(name, FakeReply{0, {}, {}, {}, {}}); }

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

    bool Shell_NotifyIconA(uint32_t message, const uint8_t* data) override {
        FakeReply r = Begin("Shell_NotifyIconA", {Hex(message), Ptr(data)});
        calls.back().records.push_back(data ? std::vector<uint8_t>(data, data + 88) : std::vector<uint8_t>());
        return End(r, 1) != 0;
    }
    uint32_t GetCurrentProcess() override { return Result32(Begin("GetCurrentProcess", {}), 0); }
    bool CloseHandle(uint32_t handle) override { return End(Begin("CloseHandle", {Hex(handle)}), 1) != 0; }
    uint32_t GetLastError() override {
        FakeReply r = Begin("GetLastError", {});
        // Reading the error does not change it, unless scripted to.
        return static_cast<uint32_t>(r.result ? *r.result : lastError_);
    }
    bool SetSystemPowerState(bool suspend, bool force) override {
        return End(Begin("SetSystemPowerState", {Bool(suspend), Bool(force)}), 1) != 0;
    }
    uint32_t GetSystemDirectory(char* buf, uint32_t cap) override {
        FakeReply r = Begin("GetSystemDirectory", {Ptr(buf), Hex(cap)});
        // Like the system: copies only when it fits, otherwise returns the size needed.
        const std::string text = r.text.value_or("");
        int64_t length = static_cast<int64_t>(text.size());
        if (buf && text.size() + 1 <= cap) {
            std::memcpy(buf, text.c_str(), text.size() + 1);
        } else {
            length = static_cast<int64_t>(text.size()) + 1;
        }
        return static_cast<uint32_t>(End(r, length));
    }
    bool CreateProcess(const char* application, const char* commandLine, uint16_t showWindow,
                       uint32_t* process) override {
        FakeReply r = Begin("CreateProcess", {Str(application), Str(commandLine), Hex(showWindow), Ptr(process)});
        const bool ok = End(r, 1) != 0;
        // Like the system: a handle only for a program that started.
        if (process) *process = ok && r.out ? static_cast<uint32_t>(*r.out) : 0;
        return ok;
    }
    uint32_t WaitForSingleObject(uint32_t handle, uint32_t milliseconds) override {
        return Result32(Begin("WaitForSingleObject", {Hex(handle), Hex(milliseconds)}), 0);
    }
    bool GetExitCodeProcess(uint32_t process, uint32_t* exitCode) override {
        FakeReply r = Begin("GetExitCodeProcess", {Hex(process), Ptr(exitCode)});
        if (exitCode && r.out) *exitCode = static_cast<uint32_t>(*r.out);
        return End(r, 1) != 0;
    }
    uint32_t SetThreadExecutionState(uint32_t flags) override {
        return Result32(Begin("SetThreadExecutionState", {Hex(flags)}), 0);
    }
    bool OpenProcessToken(uint32_t process, uint32_t desiredAccess, uint32_t* token) override {
        FakeReply r = Begin("OpenProcessToken", {Hex(process), Hex(desiredAccess), Ptr(token)});
        if (token && r.out) *token = static_cast<uint32_t>(*r.out);
        return End(r, 1) != 0;
    }
    bool LookupPrivilegeValueA(const char* systemName, const char* name, uint64_t* luid) override {
        FakeReply r = Begin("LookupPrivilegeValueA", {Str(systemName), Str(name), Ptr(luid)});
        if (luid && r.out) *luid = *r.out;
        return End(r, 1) != 0;
    }
    bool AdjustTokenPrivileges(uint32_t token, bool disableAll, const uint8_t* newState, uint32_t bufferLength,
                               uint8_t* previousState, uint32_t* returnLength) override {
        FakeReply r = Begin("AdjustTokenPrivileges", {Hex(token), Bool(disableAll), Ptr(newState),
                                                      Hex(bufferLength), Ptr(previousState), Ptr(returnLength)});
        std::vector<uint8_t> state;
        if (newState) {
            // The system reads the count, then that many 12-byte entries.
            const uint32_t count = newState[0] | newState[1] << 8 | newState[2] << 16 | uint32_t(newState[3]) << 24;
            state.assign(newState, newState + 4 + (count <= 16 ? 12 * count : 0));
        }
        calls.back().records.push_back(state);
        calls.back().records.push_back(previousState ? std::vector<uint8_t>(previousState, previousState + bufferLength)
                                                     : std::vector<uint8_t>());
        if (previousState && r.bytes) {
            std::memcpy(previousState, r.bytes->data(), std::min<size_t>(r.bytes->size(), bufferLength));
        }
        if (returnLength && r.out) *returnLength = static_cast<uint32_t>(*r.out);
        return End(r, 1) != 0;
    }
    // Like the system: the record (scripted in `bytes`) is written only when it fits, else FALSE with
    // ERROR_INSUFFICIENT_BUFFER and the size needed; and, as Windows does (Wine does not check), a buffer that is
    // not 4-byte aligned is refused with ERROR_NOACCESS.
    bool GetTokenInformation(uint32_t token, uint32_t infoClass, uint8_t* info, uint32_t length,
                             uint32_t* returnLength) override {
        FakeReply r = Begin("GetTokenInformation", {Hex(token), Hex(infoClass), Ptr(info), Hex(length), Ptr(returnLength)});
        if (r.result && *r.result == 0) return End(r, 0) != 0;
        if (reinterpret_cast<uintptr_t>(info) % 4 != 0) return End(Failed(r, 998), 0) != 0;
        const std::vector<uint8_t> record = r.bytes.value_or(std::vector<uint8_t>());
        if (returnLength) *returnLength = static_cast<uint32_t>(record.size());
        if (!info || record.size() > length) return End(Failed(r, 122), 0) != 0;
        std::memcpy(info, record.data(), record.size());
        return End(r, 1) != 0;
    }
    // result 0: the function cannot be had; otherwise `out` is the answer.
    bool IsPwrHibernateAllowed(bool* allowed) override {
        FakeReply r = Begin("IsPwrHibernateAllowed", {Ptr(allowed)});
        if (r.result && *r.result == 0) return End(r, 0) != 0;
        if (allowed) *allowed = r.out.value_or(1) != 0;
        return End(r, 1) != 0;
    }
    bool ExitWindowsEx(uint32_t flags, uint32_t reason) override {
        return End(Begin("ExitWindowsEx", {Hex(flags), Hex(reason)}), 1) != 0;
    }
    uint32_t GetDesktopWindow() override { return Result32(Begin("GetDesktopWindow", {}), 0); }
    uint32_t GetDC(uint32_t window) override { return Result32(Begin("GetDC", {Hex(window)}), 0); }
    int ReleaseDC(uint32_t window, uint32_t dc) override {
        return static_cast<int>(End(Begin("ReleaseDC", {Hex(window), Hex(dc)}), 1));
    }
    bool BitBlt(uint32_t destDC, int x, int y, int width, int height, uint32_t srcDC, int srcX, int srcY,
                uint32_t rop) override {
        return End(Begin("BitBlt", {Hex(destDC), Dec(x), Dec(y), Dec(width), Dec(height), Hex(srcDC), Dec(srcX),
                                    Dec(srcY), Hex(rop)}),
                   1) != 0;
    }

private:
    FakeReply Begin(const std::string& name, std::vector<std::string> args) {
        calls.push_back(FakeCall{name, std::move(args), {}});
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
        if (!reply.bytes) reply.bytes = from.bytes;
        if (!reply.lastError) reply.lastError = from.lastError;
    }
    int64_t End(const FakeReply& r, int64_t fallback) {
        if (r.lastError) lastError_ = *r.lastError;
        return r.result ? *r.result : fallback;
    }
    uint32_t Result32(const FakeReply& r, int64_t fallback) { return static_cast<uint32_t>(End(r, fallback)); }
    static FakeReply Failed(FakeReply r, uint32_t error) {
        r.result = 0;
        r.lastError = error;
        return r;
    }

    std::map<std::string, std::deque<FakeReply>> queued_;
    std::map<std::string, FakeReply> defaults_;
    std::map<std::string, FakeReply> builtin_;
    uint32_t lastError_ = 0;
};
