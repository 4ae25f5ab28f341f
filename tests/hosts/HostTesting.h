// What the tests of the control on a form share: real key strokes through
// xdotool, the list window as the user sees it, the values stored in a
// buffer file, the control's events as a host receives them, and
// automation values.
#pragma once

#include <windows.h>

#include "library/generated/FillaheadLib.h"
#include "tests/hosts/TestForm.h"
#include "tests/win32/WindowTesting.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fillahead::hosts::testing {

using win32::testing::Pump;
using win32::testing::PumpUntil;

// Key strokes of a real keyboard, from xdotool on the Wine session's
// display, into the window that has the focus there. Wine starts a Unix
// program without a handle to wait for, so the command leaves a mark when it
// is done and the messages of this thread are pumped until then.
inline bool Keys(const std::string& commands) {
    static int run = 0;
    const std::string name =
        "fillahead-keys-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++run);
    const std::filesystem::path mark = std::filesystem::path("Z:\\tmp") / name;
    const std::string unixMark = "/tmp/" + name;
    std::filesystem::remove(mark);
    const std::string script = "xdotool " + commands + "; touch '" + unixMark + "'";
    std::wstring command = L"Z:\\usr\\bin\\timeout 20 /bin/sh -c \"" +
                           std::wstring(script.begin(), script.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "xdotool did not start";
        return false;
    }
    for (HANDLE handle : {process.hProcess, process.hThread}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    const bool done =
        PumpUntil([&] { return std::filesystem::exists(mark); }, std::chrono::milliseconds(20000));
    std::filesystem::remove(mark);
    // What the keys set off (a tracking pass, a repaint) runs too.
    Pump(std::chrono::milliseconds(250));
    EXPECT_TRUE(done) << "xdotool " << commands;
    return done;
}

// Gives the form's window the X display's focus, as a user clicking it.
inline bool FocusOnDisplay() {
    return Keys(std::string("search --sync --onlyvisible --name '^") + "Fillahead form host" +
                "$' windowfocus --sync");
}

// The list window when it is shown (visible and higher than nothing).
inline std::optional<RECT> ShownList() {
    HWND list = nullptr;
    while ((list = FindWindowExW(nullptr, list, L"FillaheadList", nullptr)) != nullptr) {
        RECT rect{};
        if (IsWindowVisible(list) && GetWindowRect(list, &rect) && rect.bottom > rect.top) {
            return rect;
        }
    }
    return std::nullopt;
}

inline RECT ScreenRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// The values a buffer file holds, in its order; none when it is missing.
inline std::vector<std::string> StoredValues(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string xml = text.str();
    std::vector<std::string> values;
    const std::string field = "SavedStringField='";
    for (std::size_t at = xml.find(field); at != std::string::npos; at = xml.find(field, at)) {
        at += field.size();
        const std::size_t end = xml.find('\'', at);
        values.push_back(xml.substr(at, end - at));
    }
    return values;
}

// Values stored for a field by the library's engine in a buffer folder, as
// an earlier session on the form would have left them.
inline void Remember(const std::filesystem::path& folder, const std::wstring& group,
                     const std::wstring& field, std::initializer_list<const wchar_t*> stored) {
    ComPtr<_Fillahead> engine;
    ASSERT_EQ(CoCreateInstance(CLSID_Fillahead, nullptr, CLSCTX_INPROC_SERVER, IID__Fillahead,
                               reinterpret_cast<void**>(engine.GetAddressOf())),
              S_OK);
    const auto bstr = [](const std::wstring& text) { return SysAllocString(text.c_str()); };
    BSTR location = bstr(folder.wstring());
    BSTR name = bstr(group);
    BSTR control = bstr(field);
    BSTR empty = bstr(L"");
    engine->put_PrivateBufferLocation(location);
    engine->put_BufferUsage(buePrivate);
    engine->put_ControlGroupName(name);
    for (const wchar_t* value : stored) {
        BSTR text = bstr(value);
        engine->OnControlChange(control, empty);
        engine->OnTextChange(text);
        EXPECT_EQ(engine->CloseList(), S_OK);
        SysFreeString(text);
    }
    for (BSTR text : {location, name, control, empty}) {
        SysFreeString(text);
    }
}

// The list shown directly under a place on the screen, exactly as wide.
inline void ExpectListUnder(const RECT& field) {
    const std::optional<RECT> list = ShownList();
    ASSERT_TRUE(list.has_value()) << "no list is shown";
    EXPECT_EQ(list->left, field.left);
    EXPECT_EQ(list->top, field.bottom);
    EXPECT_EQ(list->right - list->left, field.right - field.left);
}

// --- Automation values ---

class Value {
public:
    Value() { VariantInit(&value_); }
    explicit Value(const std::wstring& text) : Value() {
        V_VT(&value_) = VT_BSTR;
        V_BSTR(&value_) = SysAllocString(text.c_str());
    }
    explicit Value(long number) : Value() {
        V_VT(&value_) = VT_I4;
        V_I4(&value_) = number;
    }
    static Value Boolean(bool flag) {
        Value v;
        V_VT(&v.value_) = VT_BOOL;
        V_BOOL(&v.value_) = flag ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    static Value Adopt(VARIANT owned) {
        Value v;
        v.value_ = owned;
        return v;
    }
    Value(Value&& other) noexcept : Value() { std::swap(value_, other.value_); }
    ~Value() { VariantClear(&value_); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;

    const VARIANT& operator*() const { return value_; }
    // For an [out] VARIANT*: emptied first.
    VARIANT* Out() {
        VariantClear(&value_);
        return &value_;
    }
    std::wstring Text() const {
        VARIANT text;
        VariantInit(&text);
        if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value_), VARIANT_ALPHABOOL,
                                     VT_BSTR))) {
            return L"<not text>";
        }
        std::wstring result(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
        VariantClear(&text);
        return result;
    }

private:
    VARIANT value_;
};

inline std::wstring PropertyText(HostedControl& control, const wchar_t* name) {
    return Value::Adopt(control.Get(name)).Text();
}

// --- The control's events as a host receives them ---

class ControlEvents final : public IDispatch {
public:
    std::vector<std::string> events;
    // Cancel is set for these events.
    std::map<std::string, bool> cancel;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID___FillaheadControl) {
            *out = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        static const char* const names[] = {"?",
                                            "BeforeAddRecord",
                                            "BeforeSaveRecord",
                                            "AfterSaveRecord",
                                            "BeforeOpenRecordset",
                                            "BeforeSaveRecordset",
                                            "Change"};
        const std::string name = id >= 1 && id <= 6 ? names[id] : "?" + std::to_string(id);
        events.push_back(name);
        if (params != nullptr && params->cArgs == 1 &&
            V_VT(&params->rgvarg[0]) == (VT_BYREF | VT_BOOL) && cancel[name]) {
            *V_BOOLREF(&params->rgvarg[0]) = VARIANT_TRUE;
        }
        return S_OK;
    }

    // The events since the last call, without Change, joined by spaces.
    std::string TakeStoring() {
        std::string joined;
        for (const std::string& event : events) {
            if (event != "Change") {
                joined += (joined.empty() ? "" : " ") + event;
            }
        }
        events.clear();
        return joined;
    }
    int Count(const std::string& name) const {
        return static_cast<int>(std::count(events.begin(), events.end(), name));
    }
};

// Connects a sink to the control's events while it lives.
class EventsConnection {
public:
    EventsConnection(IUnknown* control, IDispatch* sink) {
        ComPtr<IConnectionPointContainer> container;
        EXPECT_EQ(control->QueryInterface(IID_IConnectionPointContainer,
                                          reinterpret_cast<void**>(container.GetAddressOf())),
                  S_OK);
        if (container) {
            EXPECT_EQ(container->FindConnectionPoint(DIID___FillaheadControl, &point_), S_OK);
        }
        if (point_) {
            EXPECT_EQ(point_->Advise(sink, &cookie_), S_OK);
        }
    }
    ~EventsConnection() {
        if (point_ && cookie_ != 0) {
            point_->Unadvise(cookie_);
        }
    }
    EventsConnection(const EventsConnection&) = delete;
    EventsConnection& operator=(const EventsConnection&) = delete;

private:
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

} // namespace fillahead::hosts::testing
