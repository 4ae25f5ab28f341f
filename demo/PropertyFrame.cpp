#include "demo/PropertyFrame.h"

#include "demo/ControlHost.h"

#include <olectl.h>

#include <memory>
#include <type_traits>
#include <vector>

namespace fillahead::demo {
namespace {

// The Apply button of property frames.
constexpr WORD kApplyButton = 0x3021;

// Stands in front of a page class's own class object while the frame runs,
// keeping every page the frame creates.
class PageCollector final : public ComBase<IClassFactory> {
public:
    PageCollector(ComPtr<IClassFactory> library, std::vector<ComPtr<IPropertyPage>>& pages)
        : library_(std::move(library)), pages_(pages) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        const HRESULT hr = library_->CreateInstance(outer, iid, out);
        if (SUCCEEDED(hr) && out != nullptr && *out != nullptr) {
            ComPtr<IPropertyPage> page;
            if (SUCCEEDED(static_cast<IUnknown*>(*out)->QueryInterface(
                    IID_IPropertyPage, reinterpret_cast<void**>(page.GetAddressOf())))) {
                pages_.push_back(page);
            }
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override { return library_->LockServer(lock); }

protected:
    void* Find(REFIID iid) override {
        return iid == IID_IUnknown || iid == IID_IClassFactory ? static_cast<IClassFactory*>(this)
                                                               : nullptr;
    }

private:
    ComPtr<IClassFactory> library_;
    std::vector<ComPtr<IPropertyPage>>& pages_;
};

// Registered in the process while it lives.
class Registration {
public:
    Registration(REFCLSID clsid, std::vector<ComPtr<IPropertyPage>>& pages) {
        ComPtr<IClassFactory> library;
        if (FAILED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                    reinterpret_cast<void**>(library.GetAddressOf())))) {
            return;
        }
        const ComPtr<PageCollector> collector = Make<PageCollector>(library, pages);
        if (FAILED(CoRegisterClassObject(clsid, collector.Get(), CLSCTX_INPROC_SERVER,
                                         REGCLS_MULTIPLEUSE, &cookie_))) {
            cookie_ = 0;
        }
    }
    ~Registration() {
        if (cookie_ != 0) {
            CoRevokeClassObject(cookie_);
        }
    }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

private:
    DWORD cookie_ = 0;
};

// The pages of the frame that runs on this thread now.
std::vector<ComPtr<IPropertyPage>>* runningPages = nullptr;
HWND frameOwner = nullptr;

// Sees OK and Apply before the frame's own handling.
LRESULT CALLBACK watchFrame(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    // The frame is the top-level window over the owner that gets the command.
    if (code == HC_ACTION && sent != nullptr && sent->message == WM_COMMAND &&
        runningPages != nullptr && sent->hwnd != frameOwner &&
        (GetWindowLongW(sent->hwnd, GWL_STYLE) & WS_CHILD) == 0 &&
        (LOWORD(sent->wParam) == IDOK || LOWORD(sent->wParam) == kApplyButton) &&
        HIWORD(sent->wParam) == BN_CLICKED) {
        for (const ComPtr<IPropertyPage>& page : *runningPages) {
            if (page->IsPageDirty() == S_OK) {
                page->Apply();
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct HookDeleter {
    void operator()(HHOOK hook) const { UnhookWindowsHookEx(hook); }
};

} // namespace

HRESULT ShowPropertyFrame(HWND owner, IUnknown& object, const std::wstring& caption) {
    ComPtr<ISpecifyPropertyPages> specify;
    if (FAILED(object.QueryInterface(IID_ISpecifyPropertyPages,
                                     reinterpret_cast<void**>(specify.GetAddressOf())))) {
        return S_FALSE;
    }
    CAUUID pages{};
    HRESULT hr = specify->GetPages(&pages);
    if (FAILED(hr) || pages.cElems == 0) {
        CoTaskMemFree(pages.pElems);
        return FAILED(hr) ? hr : S_FALSE;
    }
    std::vector<ComPtr<IPropertyPage>> created;
    {
        std::vector<std::unique_ptr<Registration>> registrations;
        for (ULONG i = 0; i < pages.cElems; ++i) {
            registrations.push_back(std::make_unique<Registration>(pages.pElems[i], created));
        }
        const std::unique_ptr<std::remove_pointer_t<HHOOK>, HookDeleter> hook(
            SetWindowsHookExW(WH_CALLWNDPROC, &watchFrame, nullptr, GetCurrentThreadId()));
        runningPages = &created;
        frameOwner = owner;
        IUnknown* objects[] = {&object};
        hr = OleCreatePropertyFrame(owner, 0, 0, caption.c_str(), 1, objects, pages.cElems,
                                    pages.pElems, LOCALE_USER_DEFAULT, 0, nullptr);
        runningPages = nullptr;
        frameOwner = nullptr;
    }
    CoTaskMemFree(pages.pElems);
    return hr;
}

} // namespace fillahead::demo
