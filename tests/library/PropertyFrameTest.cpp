// FillaheadPage inside the system's property frame (OleCreatePropertyFrame)
// over a selected control, as a form designer opens it, driven with real key
// strokes and mouse clicks from xdotool while the frame runs modally on the
// test's thread. A second thread drives; what must run on the page's thread
// is sent to it.
//
// The frame makes the page itself: a class object registered in the process
// for the page's class hands the test the page the frame made. Wine's frame
// never calls IPropertyPage::Apply (its Apply and OK buttons only close or
// do nothing), so the test applies through the page while it is shown.
#include "library/PageResources.h"
#include "tests/library/PageTesting.h"
#include "tests/support/TempFolder.h"

#include <olectl.h>
#include <prsht.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace fillahead::library::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kGroup = 1;
constexpr int kGlobalLocation = 2;
constexpr int kPrivateLocation = 5;
constexpr int kBrowsePrivate = 6;
constexpr int kCapture = 8;
constexpr int kTextBoxes[] = {0, 1, 2, 4, 5, 7};

// The class object of the page's class, standing in front of the library's
// own while it lives, keeping the page the frame creates.
class PageRecorder final : public IClassFactory {
public:
    explicit PageRecorder(REFCLSID clsid) {
        EXPECT_HR(S_OK, CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                         reinterpret_cast<void**>(library_.GetAddressOf())));
        EXPECT_HR(S_OK, CoRegisterClassObject(clsid, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                              &cookie_));
    }
    ~PageRecorder() { CoRevokeClassObject(cookie_); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        const HRESULT hr = library_->CreateInstance(outer, iid, out);
        if (SUCCEEDED(hr)) {
            static_cast<IUnknown*>(*out)->QueryInterface(
                IID_IPropertyPage, reinterpret_cast<void**>(page.ReleaseAndGetAddressOf()));
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override { return library_->LockServer(lock); }

    ComPtr<IPropertyPage> page;

private:
    ComPtr<IClassFactory> library_;
    DWORD cookie_ = 0;
};

// Runs work on the thread that made it, for another thread: the page and the
// control live in this thread's apartment. The frame's and the open-file
// dialog's message loops deliver it.
class ThreadCalls {
public:
    ThreadCalls() {
        WNDCLASSEXW description{};
        description.cbSize = sizeof description;
        description.lpfnWndProc = &procedure;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = L"FillaheadTestCalls";
        RegisterClassExW(&description);
        window_ = CreateWindowExW(0, description.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, description.hInstance, nullptr);
    }
    ~ThreadCalls() { DestroyWindow(window_); }
    ThreadCalls(const ThreadCalls&) = delete;
    ThreadCalls& operator=(const ThreadCalls&) = delete;

    void Run(const std::function<void()>& work) const {
        SendMessageW(window_, WM_APP, 0, reinterpret_cast<LPARAM>(&work));
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_APP) {
            (*reinterpret_cast<const std::function<void()>*>(lParam))();
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
};

// Starts a program of this machine (xdotool, import) on the session's
// display. Wine gives no handle to wait for such a program; the callers wait
// for what it does.
bool StartUnixProgram(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    for (HANDLE handle : {process.hProcess, process.hThread}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    return true;
}

bool Xdotool(const std::wstring& arguments) {
    return StartUnixProgram(L"Z:\\usr\\bin\\timeout 30 xdotool " + arguments);
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

std::wstring Center(HWND window) {
    RECT place{};
    GetWindowRect(window, &place);
    return std::to_wstring((place.left + place.right) / 2) + L" " +
           std::to_wstring((place.top + place.bottom) / 2);
}

// The visible top-level windows of a thread.
std::vector<HWND> WindowsOf(DWORD thread) {
    std::vector<HWND> windows;
    EnumThreadWindows(
        thread,
        [](HWND window, LPARAM list) -> BOOL {
            if (IsWindowVisible(window)) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// The page's dialog inside a frame: the window whose children are the fields.
HWND PageIn(HWND frame) {
    HWND page = nullptr;
    EnumChildWindows(
        frame,
        [](HWND child, LPARAM found) -> BOOL {
            if (GetDlgCtrlID(child) == FILLAHEAD_IDC_FIELD + kCapture &&
                GetDlgItem(GetParent(child), FILLAHEAD_IDC_FIELD) != nullptr) {
                *reinterpret_cast<HWND*>(found) = GetParent(child);
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&page));
    return page;
}

HWND FocusOf(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// What the driver saw, checked by the test once the frame is closed.
struct Seen {
    std::wstring failure; // the step that did not happen
    std::vector<std::wstring> filled;
    LRESULT capture = -1;
    HRESULT dirtyAfterTyping = E_FAIL;
    bool tabbed = false;
    std::wstring chosen;
    bool focusedAfterBrowsing = false;
    HRESULT applied = E_FAIL;
    HRESULT dirtyAfterApplying = E_FAIL;
};

class Driver {
public:
    Driver(DWORD thread, const ThreadCalls& calls, PageRecorder& recorder, Seen& seen)
        : thread_(thread), calls_(calls), recorder_(recorder), seen_(seen) {}

    void Run(const std::wstring& file, const std::wstring& screenshot) {
        if (!drive(file, screenshot)) {
            // Whatever is open is cancelled, so that the test ends.
            for (const HWND window : WindowsOf(thread_)) {
                PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            }
            WaitFor([&] { return WindowsOf(thread_).empty(); }, 5s);
            for (const HWND window : WindowsOf(thread_)) {
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
        }
    }

private:
    bool step(const wchar_t* what, bool happened) {
        if (!happened && seen_.failure.empty()) {
            seen_.failure = what;
        }
        return happened;
    }

    HWND field(int index) const { return GetDlgItem(page_, FILLAHEAD_IDC_FIELD + index); }

    bool drive(const std::wstring& file, const std::wstring& screenshot) {
        if (!step(L"the frame shows the page", WaitFor([&] {
                      for (const HWND window : WindowsOf(thread_)) {
                          if ((page_ = PageIn(window)) != nullptr) {
                              frame_ = window;
                              return true;
                          }
                      }
                      return false;
                  }))) {
            return false;
        }
        for (const int box : kTextBoxes) {
            seen_.filled.push_back(WindowText(field(box)));
        }
        seen_.capture = SendMessageW(field(kCapture), BM_GETCHECK, 0, 0);

        // Typing into the group name, in the frame as the X server sees it.
        const std::wstring frameByName =
            L"search --sync --onlyvisible --name \"^" + WindowText(frame_) + L"$\" ";
        if (!step(L"typing reaches the group name",
                  Xdotool(frameByName + L"windowfocus --sync mousemove --sync " +
                          Center(field(kGroup)) +
                          L" click 1 key End shift+Home type --args 1 Orders") &&
                      WaitFor([&] { return WindowText(field(kGroup)) == L"Orders"; }))) {
            return false;
        }
        calls_.Run([&] { seen_.dirtyAfterTyping = recorder_.page->IsPageDirty(); });
        seen_.tabbed = Xdotool(L"key Tab") &&
                       WaitFor([&] { return FocusOf(thread_) == field(kGlobalLocation); }, 10s);

        // "..." beside the private location, then the open-file dialog, whose
        // caption is the program's title.
        if (!step(L"the open-file dialog picks a file",
                  Xdotool(L"mousemove --sync " + Center(field(kBrowsePrivate)) + L" click 1") &&
                      Xdotool(L"search --sync --onlyvisible --name \"^page_frame_tests$\" "
                              L"windowfocus --sync sleep 0.3 key ctrl+a type --args 1 \"" +
                              file + L"\" key Return") &&
                      WaitFor([&] { return WindowText(field(kPrivateLocation)) == file; }))) {
            return false;
        }
        seen_.chosen = WindowText(field(kPrivateLocation));
        seen_.focusedAfterBrowsing =
            WaitFor([&] { return FocusOf(thread_) == field(kPrivateLocation); }, 5s);

        // The frame as it looks now, for the documentation: its client area,
        // all the X server shows of it without a window manager.
        RECT place{};
        GetClientRect(frame_, &place);
        MapWindowPoints(frame_, nullptr, reinterpret_cast<POINT*>(&place), 2);
        const std::wstring crop = std::to_wstring(place.right - place.left) + L"x" +
                                  std::to_wstring(place.bottom - place.top) + L"+" +
                                  std::to_wstring(place.left) + L"+" + std::to_wstring(place.top);
        const std::wstring shot(screenshot.begin(), screenshot.end());
        const std::wstring windowsShot =
            L"Z:" + std::filesystem::path(shot).make_preferred().wstring();
        DeleteFileW(windowsShot.c_str());
        step(L"the screenshot is saved",
             StartUnixProgram(L"Z:\\bin\\sh -c \"/usr/bin/import -window root -crop " + crop +
                              L" +repage png:" + shot + L".part && mv " + shot + L".part " + shot +
                              L"\"") &&
                 WaitFor([&] {
                     return GetFileAttributesW(windowsShot.c_str()) != INVALID_FILE_ATTRIBUTES;
                 }));

        calls_.Run([&] {
            seen_.applied = recorder_.page->Apply();
            seen_.dirtyAfterApplying = recorder_.page->IsPageDirty();
        });
        PostMessageW(frame_, PSM_PRESSBUTTON, PSBTN_OK, 0);
        return step(L"the frame closes", WaitFor([&] { return !IsWindow(frame_); }, 10s));
    }

    DWORD thread_;
    const ThreadCalls& calls_;
    PageRecorder& recorder_;
    Seen& seen_;
    HWND frame_ = nullptr;
    HWND page_ = nullptr;
};

TEST(PropertyFrame, ShowsFillsBrowsesAndAppliesLikeADesignersFrame) {
    const fillahead::testing::TempFolder temp;
    const std::filesystem::path buffers = temp.path() / L"Buffers";
    std::filesystem::create_directory(buffers);
    std::ofstream(buffers / L"history.xml") << "<xml/>";
    const std::wstring file = (buffers / L"history.xml").wstring();

    const ComPtr<IDispatch> control = ControlWithSettings(buffers.wstring() + L"\\");
    ComPtr<ISpecifyPropertyPages> specified;
    ASSERT_HR(S_OK, control.As(&specified));
    CAUUID pages{};
    ASSERT_HR(S_OK, specified->GetPages(&pages));
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_TRUE(IsEqualCLSID(pages.pElems[0], CLSID_FillaheadPage));

    Seen seen;
    {
        PageRecorder recorder(pages.pElems[0]);
        const ThreadCalls calls;
        std::atomic<bool> driven{false};
        const DWORD thisThread = GetCurrentThreadId();
        std::thread driver([&] {
            Driver(thisThread, calls, recorder, seen).Run(file, L"" FILLAHEAD_PAGE_SCREENSHOT);
            driven = true;
        });
        IUnknown* objects[] = {control.Get()};
        EXPECT_HR(S_OK, OleCreatePropertyFrame(nullptr, 0, 0, L"FillaheadControl1", 1, objects,
                                               pages.cElems, pages.pElems, LOCALE_USER_DEFAULT, 0,
                                               nullptr));
        // The driver may still send work here.
        while (!driven) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        driver.join();
    }
    CoTaskMemFree(pages.pElems);

    ASSERT_EQ(seen.failure, L"");
    EXPECT_EQ(seen.filled, (std::vector<std::wstring>{L"Text1", L"Form1", L"C:\\Global\\", L"2",
                                                      buffers.wstring() + L"\\", L"3"}));
    EXPECT_EQ(seen.capture, BST_CHECKED);
    EXPECT_HR(S_OK, seen.dirtyAfterTyping);
    EXPECT_TRUE(seen.tabbed) << "Tab did not move to the next field";
    EXPECT_EQ(seen.chosen, file);
    EXPECT_TRUE(seen.focusedAfterBrowsing);
    EXPECT_HR(S_OK, seen.applied);
    EXPECT_HR(S_FALSE, seen.dirtyAfterApplying);
    EXPECT_EQ(PropertyText(control.Get(), L"ControlGroupName"), L"Orders");
    EXPECT_EQ(PropertyText(control.Get(), L"PrivateBufferLocation"), file);
    EXPECT_EQ(PropertyText(control.Get(), L"BuddyControl"), L"Text1");
    EXPECT_EQ(PropertyText(control.Get(), L"CaptureReturnKey"), L"True");
}

} // namespace
} // namespace fillahead::library::testing
