#include "library/FillaheadPageObject.h"

#include "library/Conversions.h"
#include "library/ErrorInfo.h"
#include "library/LateBound.h"
#include "library/Registration.h"
#include "platform/AutomationError.h"
#include "platform/win32/Interop.h"

#include <shellapi.h>

#include <string>

namespace fillahead::library {
namespace {

constexpr wchar_t kSource[] = L"FillaheadLib.FillaheadPage";
constexpr wchar_t kHelpFile[] = L"Fillahead.chm";

// A field as ActiveControl hands it out: its name and window.
class PageFieldObject final : public ComObject<Dispatch<_FillaheadPageField>> {
public:
    PageFieldObject(PageField field, HWND window) : field_(field), window_(window) {}

    HRESULT STDMETHODCALLTYPE get_Name(BSTR* Name) override {
        return ComBoundary({IID__FillaheadPageField, kSource}, [&] {
            BSTR& name = OutParameter(Name);
            name = nullptr;
            name = ToBstr(FieldInfo(field_).name);
        });
    }

    HRESULT STDMETHODCALLTYPE get_hWnd(LONG* Window) override {
        if (Window == nullptr) {
            return E_POINTER;
        }
        *Window = win32::ToWindowHandle(window_);
        return S_OK;
    }

private:
    PageField field_;
    HWND window_;
};

// A copy for the caller to free with CoTaskMemFree.
LPOLESTR taskMemoryCopy(std::wstring_view text) {
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(wchar_t)));
    if (copy == nullptr) {
        throw AutomationError(error::OutOfMemory);
    }
    text.copy(copy, text.size());
    copy[text.size()] = L'\0';
    return copy;
}

std::wstring folderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring helpFilePath(const std::wstring& folder) {
    return folder + L"\\" + kHelpFile;
}

} // namespace

HRESULT FillaheadPageObject::Create(REFIID iid, void** out) noexcept {
    return CreateAndQuery<FillaheadPageObject>(iid, out);
}

FillaheadPageObject::FillaheadPageObject()
    : page_(static_cast<PageFrame&>(*this)), dialog_(static_cast<PageDialog::Events&>(*this)) {}

FillaheadPageObject::~FillaheadPageObject() = default;

template <typename Body>
HRESULT FillaheadPageObject::call(Body&& body) {
    return ComBoundary({IID_IPropertyPage2, kSource}, std::forward<Body>(body));
}

void* FillaheadPageObject::QueryExtra(REFIID iid) {
    return iid == IID_IPropertyPage
               ? static_cast<IPropertyPage*>(static_cast<IPropertyPage2*>(this))
               : nullptr;
}

void FillaheadPageObject::showSelection() {
    if (dialog_.Window() != nullptr && !objects_.empty()) {
        page_.SelectionChanged();
    }
}

// --- _FillaheadPage ---

HRESULT FillaheadPageObject::get_ActiveControl(IDispatch** Control) {
    return ComBoundary({IID__FillaheadPage, kSource}, [&] {
        IDispatch*& control = OutParameter(Control);
        control = nullptr;
        if (const std::optional<PageField> field = page_.ActiveControl()) {
            control = MakeObject<IDispatch, PageFieldObject>(*field, dialog_.FieldWindow(*field))
                          .Detach();
        }
    });
}

// --- IPropertyPage ---

HRESULT FillaheadPageObject::SetPageSite(IPropertyPageSite* site) {
    site_ = site;
    return S_OK;
}

HRESULT FillaheadPageObject::Activate(HWND parent, LPCRECT where, BOOL /*modal*/) {
    return call([&] {
        const RECT& place = OutParameter(where);
        dialog_.Create(parent, place);
        try {
            showSelection();
        } catch (...) {
            dialog_.Destroy();
            throw;
        }
    });
}

HRESULT FillaheadPageObject::Deactivate() {
    dialog_.Destroy();
    return S_OK;
}

HRESULT FillaheadPageObject::GetPageInfo(PROPPAGEINFO* info) {
    return call([&] {
        PROPPAGEINFO& target = OutParameter(info);
        PROPPAGEINFO filled{};
        filled.cb = sizeof filled;
        filled.size = PageDialog::TemplateSize();
        const std::wstring caption = win32::ToWide(kPageCaption);
        filled.pszTitle = taskMemoryCopy(caption);
        try {
            filled.pszHelpFile = taskMemoryCopy(helpFilePath(folderOf(ModulePath())));
        } catch (...) {
            CoTaskMemFree(filled.pszTitle);
            throw;
        }
        target = filled;
    });
}

HRESULT FillaheadPageObject::SetObjects(ULONG count, IUnknown** objects) {
    if (count > 0 && objects == nullptr) {
        return E_POINTER;
    }
    std::vector<ComPtr<IDispatch>> selected;
    for (ULONG i = 0; i < count; ++i) {
        ComPtr<IDispatch> object;
        if (objects[i] == nullptr ||
            FAILED(objects[i]->QueryInterface(IID_IDispatch,
                                              reinterpret_cast<void**>(object.GetAddressOf())))) {
            // The page reaches objects by name only; it keeps none of a
            // selection it cannot edit.
            objects_.clear();
            return E_NOINTERFACE;
        }
        selected.push_back(std::move(object));
    }
    objects_ = std::move(selected);
    return call([&] { showSelection(); });
}

HRESULT FillaheadPageObject::Show(UINT command) {
    if (dialog_.Window() == nullptr) {
        return E_UNEXPECTED;
    }
    ShowWindow(dialog_.Window(), static_cast<int>(command));
    return S_OK;
}

HRESULT FillaheadPageObject::Move(LPCRECT where) {
    if (where == nullptr) {
        return E_POINTER;
    }
    if (dialog_.Window() == nullptr) {
        return E_UNEXPECTED;
    }
    MoveWindow(dialog_.Window(), where->left, where->top, where->right - where->left,
               where->bottom - where->top, TRUE);
    return S_OK;
}

HRESULT FillaheadPageObject::IsPageDirty() {
    return page_.Changed() ? S_OK : S_FALSE;
}

HRESULT FillaheadPageObject::Apply() {
    return call([&] {
        // Without its window the page has no fields to write, and an
        // unchanged page would only write back what it read.
        if (dialog_.Window() != nullptr && page_.Changed()) {
            page_.ApplyChanges();
        }
    });
}

HRESULT FillaheadPageObject::Help(LPCOLESTR helpFolder) {
    return call([&] {
        const std::wstring folder = helpFolder != nullptr && *helpFolder != L'\0'
                                        ? std::wstring(helpFolder)
                                        : folderOf(ModulePath());
        const std::wstring file = helpFilePath(folder);
        if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
            throw ErrorOfResult(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND),
                                u"The help file " + Text(file.begin(), file.end()) +
                                    u" cannot be found.");
        }
        SHELLEXECUTEINFOW open{};
        open.cbSize = sizeof open;
        open.fMask = SEE_MASK_FLAG_NO_UI;
        open.hwnd = dialog_.Window();
        open.lpVerb = L"open";
        open.lpFile = file.c_str();
        open.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&open)) {
            ThrowIfFailed(HRESULT_FROM_WIN32(GetLastError()));
        }
    });
}

HRESULT FillaheadPageObject::TranslateAccelerator(MSG* message) {
    if (message == nullptr) {
        return E_POINTER;
    }
    return dialog_.TranslateKey(*message) ? S_OK : S_FALSE;
}

// --- IPropertyPage2 ---

HRESULT FillaheadPageObject::EditProperty(DISPID property) {
    if (dialog_.Window() == nullptr || objects_.empty()) {
        return E_UNEXPECTED;
    }
    for (const PageFieldInfo& info : kPageFields) {
        if (info.property == nullptr) {
            continue;
        }
        std::wstring name = win32::ToWide(info.property);
        LPOLESTR names[] = {name.data()};
        DISPID id = DISPID_UNKNOWN;
        if (SUCCEEDED(objects_[0]->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) &&
            id == property) {
            dialog_.Focus(info.field);
            return S_OK;
        }
    }
    // Not a property of this page: the frame may ask its other pages.
    return E_INVALIDARG;
}

// --- ISupportErrorInfo ---

HRESULT FillaheadPageObject::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID_IPropertyPage || iid == IID_IPropertyPage2 || iid == IID__FillaheadPage
               ? S_OK
               : S_FALSE;
}

// --- PageFrame ---

Variant FillaheadPageObject::GetSelectedProperty(std::size_t item, TextView name) {
    if (item >= objects_.size()) {
        throw AutomationError(error::SubscriptOutOfRange);
    }
    return GetPropertyByName(objects_[item].Get(), name);
}

void FillaheadPageObject::LetSelectedProperty(std::size_t item, TextView name,
                                              const Variant& value) {
    if (item >= objects_.size()) {
        throw AutomationError(error::SubscriptOutOfRange);
    }
    LetPropertyByName(objects_[item].Get(), name, value);
}

void FillaheadPageObject::ChangedStatus(bool changed) {
    // The site may call back into the page.
    if (const ComPtr<IPropertyPageSite> site = site_) {
        site->OnStatusChange(changed ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
    }
}

WindowHandle FillaheadPageObject::PageWindow() {
    return win32::ToWindowHandle(dialog_.Window());
}

// --- PageDialog::Events ---

void FillaheadPageObject::FieldTextChanged(PageField field) noexcept {
    const ComPtr<IUnknown> alive(Identity());
    try {
        page_.TextChange(field);
    } catch (...) {
        // An edit is never refused.
    }
}

void FillaheadPageObject::FieldClicked(PageField field) noexcept {
    const ComPtr<IUnknown> alive(Identity());
    try {
        page_.Click(field);
    } catch (...) {
        // Browsing reports nothing; a click is never refused.
    }
}

} // namespace fillahead::library
