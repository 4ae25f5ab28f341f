#include "demo/ControlHost.h"

#include <olectl.h>

#include <cwctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fillahead::demo {
namespace {

constexpr char kHeader[] = "Fillahead demo settings 1";

// The extenders' conventional DISPIDs for Name and Parent.
constexpr DISPID kExtenderName = static_cast<DISPID>(0x80010000);
constexpr DISPID kExtenderParent = static_cast<DISPID>(0x80010008);

std::string toUtf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// False for bytes that are not UTF-8.
bool fromUtf8(const std::string& text, std::wstring& out) {
    out.clear();
    if (text.empty()) {
        return true;
    }
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) {
        return false;
    }
    out.resize(static_cast<std::size_t>(size));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        out.data(), size);
    return true;
}

// Tabs, line ends and backslashes written as escapes, so a value is one field.
std::wstring escaped(const std::wstring& text) {
    std::wstring out;
    for (const wchar_t c : text) {
        switch (c) {
        case L'\\':
            out += L"\\\\";
            break;
        case L'\t':
            out += L"\\t";
            break;
        case L'\n':
            out += L"\\n";
            break;
        case L'\r':
            out += L"\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool unescaped(const std::wstring& text, std::wstring& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            return false;
        }
        switch (text[i]) {
        case L'\\':
            out += L'\\';
            break;
        case L't':
            out += L'\t';
            break;
        case L'n':
            out += L'\n';
            break;
        case L'r':
            out += L'\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

bool storable(VARTYPE type) {
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_BSTR:
    case VT_BOOL:
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_ARRAY | VT_UI1:
        return true;
    default:
        return false;
    }
}

// A value as the text of its line: numbers and dates in the invariant
// locale, so that the file reads the same under any regional settings.
bool valueText(const VARIANT& value, std::wstring& text) {
    text.clear();
    if (V_VT(&value) == (VT_ARRAY | VT_UI1)) {
        SAFEARRAY* array = V_ARRAY(&value);
        if (array == nullptr) {
            return true;
        }
        unsigned char* bytes = nullptr;
        if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&bytes)))) {
            return false;
        }
        const ULONG count = array->rgsabound[0].cElements;
        static constexpr wchar_t kHex[] = L"0123456789abcdef";
        for (ULONG i = 0; i < count; ++i) {
            text += kHex[bytes[i] >> 4];
            text += kHex[bytes[i] & 15];
        }
        SafeArrayUnaccessData(array);
        return true;
    }
    if (V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL) {
        return true;
    }
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeTypeEx(&converted, const_cast<VARIANT*>(&value), LOCALE_INVARIANT, 0,
                                   VT_BSTR))) {
        return false;
    }
    text = escaped(std::wstring(V_BSTR(&converted), SysStringLen(V_BSTR(&converted))));
    VariantClear(&converted);
    return true;
}

int hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    return -1;
}

bool parseValue(VARTYPE type, const std::wstring& text, VARIANT& value) {
    VariantInit(&value);
    if (!storable(type)) {
        return false;
    }
    if (type == (VT_ARRAY | VT_UI1)) {
        if (text.size() % 2 != 0) {
            return false;
        }
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(text.size() / 2));
        if (array == nullptr) {
            return false;
        }
        unsigned char* bytes = nullptr;
        SafeArrayAccessData(array, reinterpret_cast<void**>(&bytes));
        bool valid = true;
        for (std::size_t i = 0; i < text.size(); i += 2) {
            const int high = hexDigit(text[i]);
            const int low = hexDigit(text[i + 1]);
            valid = valid && high >= 0 && low >= 0;
            bytes[i / 2] = static_cast<unsigned char>((high << 4) | (low & 15));
        }
        SafeArrayUnaccessData(array);
        if (!valid) {
            SafeArrayDestroy(array);
            return false;
        }
        V_VT(&value) = VT_ARRAY | VT_UI1;
        V_ARRAY(&value) = array;
        return true;
    }
    if (type == VT_EMPTY || type == VT_NULL) {
        V_VT(&value) = type;
        return text.empty();
    }
    std::wstring plain;
    if (!unescaped(text, plain)) {
        return false;
    }
    VARIANT source;
    VariantInit(&source);
    V_VT(&source) = VT_BSTR;
    V_BSTR(&source) = SysAllocStringLen(plain.data(), static_cast<UINT>(plain.size()));
    const HRESULT hr = type == VT_BSTR
                           ? VariantCopy(&value, &source)
                           : VariantChangeTypeEx(&value, &source, LOCALE_INVARIANT, 0, type);
    VariantClear(&source);
    return SUCCEEDED(hr);
}

// What the form puts around its control: its name and its parent.
class Extender final : public ComBase<DispatchWithoutTypes> {
public:
    Extender(std::wstring name, IDispatch* parent) : name_(std::move(name)), parent_(parent) {}

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (names == nullptr || ids == nullptr || count != 1) {
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = _wcsicmp(names[0], L"Name") == 0     ? kExtenderName
                 : _wcsicmp(names[0], L"Parent") == 0 ? kExtenderParent
                                                      : DISPID_UNKNOWN;
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if ((flags & DISPATCH_PROPERTYGET) == 0) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (result == nullptr) {
            return E_POINTER;
        }
        VariantInit(result);
        if (member == kExtenderName) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(name_.c_str());
            return V_BSTR(result) != nullptr ? S_OK : E_OUTOFMEMORY;
        }
        if (member == kExtenderParent) {
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = parent_.Get();
            if (parent_) {
                parent_->AddRef();
            }
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

protected:
    void* Find(REFIID iid) override {
        return iid == IID_IUnknown || iid == IID_IDispatch ? static_cast<IDispatch*>(this)
                                                           : nullptr;
    }

private:
    std::wstring name_;
    ComPtr<IDispatch> parent_;
};

} // namespace

// --- The property bag ---

SettingsBag::~SettingsBag() {
    for (auto& [key, entry] : entries_) {
        VariantClear(&entry.value);
    }
}

void* SettingsBag::Find(REFIID iid) {
    return iid == IID_IUnknown || iid == IID_IPropertyBag ? static_cast<IPropertyBag*>(this)
                                                          : nullptr;
}

std::wstring SettingsBag::keyOf(LPCOLESTR name) {
    std::wstring key(name);
    for (wchar_t& c : key) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return key;
}

HRESULT SettingsBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
    if (name == nullptr || value == nullptr) {
        return E_POINTER;
    }
    const auto found = entries_.find(keyOf(name));
    if (found == entries_.end()) {
        return E_INVALIDARG;
    }
    const VARTYPE wanted = V_VT(value);
    VariantClear(value);
    if (wanted != VT_EMPTY && wanted != V_VT(&found->second.value)) {
        return VariantChangeType(value, &found->second.value, 0, wanted);
    }
    return VariantCopy(value, &found->second.value);
}

HRESULT SettingsBag::Write(LPCOLESTR name, VARIANT* value) {
    if (name == nullptr || value == nullptr) {
        return E_POINTER;
    }
    if (!storable(V_VT(value))) {
        // Objects, and anything else a line of text cannot hold.
        return E_NOTIMPL;
    }
    VARIANT copy;
    VariantInit(&copy);
    const HRESULT hr = VariantCopy(&copy, value);
    if (FAILED(hr)) {
        return hr;
    }
    const std::wstring key = keyOf(name);
    const auto found = entries_.find(key);
    if (found != entries_.end()) {
        VariantClear(&found->second.value);
        found->second = {name, copy};
    } else {
        entries_.emplace(key, Entry{name, copy});
    }
    return S_OK;
}

bool SettingsBag::Load(const std::wstring& path, std::wstring& error) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) {
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            return true; // the first run
        }
        error = L"the settings file cannot be read";
        return false;
    }
    std::string line;
    if (!std::getline(in, line) || line != kHeader) {
        error = L"the settings file is not one of the demo's";
        return false;
    }
    std::map<std::wstring, Entry> read;
    const auto failed = [&](const std::wstring& why) {
        for (auto& [key, entry] : read) {
            VariantClear(&entry.value);
        }
        error = why;
        return false;
    };
    int number = 1;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty()) {
            continue;
        }
        std::wstring wide;
        const std::size_t first = line.find('\t');
        const std::size_t second =
            first == std::string::npos ? std::string::npos : line.find('\t', first + 1);
        if (second == std::string::npos || !fromUtf8(line, wide)) {
            return failed(L"line " + std::to_wstring(number) + L" of the settings file is damaged");
        }
        const std::size_t wideFirst = wide.find(L'\t');
        const std::size_t wideSecond = wide.find(L'\t', wideFirst + 1);
        const std::wstring name = wide.substr(0, wideFirst);
        const std::wstring typeText = wide.substr(wideFirst + 1, wideSecond - wideFirst - 1);
        wchar_t* end = nullptr;
        const unsigned long type = std::wcstoul(typeText.c_str(), &end, 10);
        VARIANT value;
        if (name.empty() || typeText.empty() || *end != L'\0' || type > 0xFFFF ||
            !parseValue(static_cast<VARTYPE>(type), wide.substr(wideSecond + 1), value)) {
            return failed(L"line " + std::to_wstring(number) + L" of the settings file is damaged");
        }
        const std::wstring key = keyOf(name.c_str());
        if (read.count(key) != 0) {
            VariantClear(&value);
            return failed(L"the settings file names " + name + L" twice");
        }
        read.emplace(key, Entry{name, value});
    }
    for (auto& [key, entry] : entries_) {
        VariantClear(&entry.value);
    }
    entries_ = std::move(read);
    return true;
}

bool SettingsBag::Save(const std::wstring& path, std::wstring& error) const {
    std::ostringstream out;
    out << kHeader << '\n';
    for (const auto& [key, entry] : entries_) {
        std::wstring text;
        if (!valueText(entry.value, text)) {
            error = L"the setting " + entry.name + L" cannot be written as text";
            return false;
        }
        out << toUtf8(entry.name) << '\t' << V_VT(&entry.value) << '\t' << toUtf8(text) << '\n';
    }
    const std::wstring temporary = path + L".new";
    {
        std::ofstream file(std::filesystem::path(temporary), std::ios::binary | std::ios::trunc);
        file << out.str();
        file.close();
        if (!file) {
            DeleteFileW(temporary.c_str());
            error = L"the settings file cannot be written";
            return false;
        }
    }
    if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        error = L"the settings file cannot be replaced";
        return false;
    }
    return true;
}

// --- The site ---

class ControlSite final
    : public ComBase<IOleClientSite, IOleControlSite, IOleInPlaceSite, DispatchWithoutTypes> {
public:
    ControlSite(HWND form, std::wstring name, IDispatch* formObject)
        : form_(form), extender_(Make<Extender>(std::move(name), formObject)) {}

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        if (moniker != nullptr) {
            *moniker = nullptr;
        }
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        if (container != nullptr) {
            *container = nullptr;
        }
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleControlSite
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** extender) override {
        if (extender == nullptr) {
            return E_POINTER;
        }
        *extender = extender_.Get();
        (*extender)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL*, POINTF*, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceSite: the control is invisible at run time; it
    // sits in the form's top-left corner.
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        if (window == nullptr) {
            return E_POINTER;
        }
        *window = form_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame,
                                               IOleInPlaceUIWindow** document, LPRECT position,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr ||
            info == nullptr) {
            return E_POINTER;
        }
        *frame = nullptr;
        *document = nullptr;
        *position = RECT{0, 0, 0, 0};
        *clip = *position;
        info->fMDIApp = FALSE;
        info->hwndFrame = form_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

    // IDispatch: the ambient properties; the form runs (UserMode True).
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS*,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (member != DISPID_AMBIENT_USERMODE) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (result == nullptr) {
            return E_POINTER;
        }
        VariantInit(result);
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = VARIANT_TRUE;
        return S_OK;
    }

protected:
    void* Find(REFIID iid) override {
        if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
            return static_cast<IOleClientSite*>(this);
        }
        if (iid == IID_IOleControlSite) {
            return static_cast<IOleControlSite*>(this);
        }
        if (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow) {
            return static_cast<IOleInPlaceSite*>(this);
        }
        if (iid == IID_IDispatch) {
            return static_cast<IDispatch*>(this);
        }
        return nullptr;
    }

private:
    HWND form_;
    ComPtr<IDispatch> extender_;
};

// --- The host ---

ControlHost::ControlHost(HWND form, IDispatch* formObject, std::wstring name)
    : form_(form), formObject_(formObject), name_(std::move(name)) {}

ControlHost::~ControlHost() {
    close();
}

void ControlHost::close() noexcept {
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
        object_.Reset();
    }
    site_.Reset();
}

HRESULT ControlHost::Create(REFCLSID clsid, SettingsBag& bag, bool& fresh) {
    close();
    fresh = bag.Empty();
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(object_.GetAddressOf()));
    if (FAILED(hr)) {
        return hr;
    }
    site_ = Make<ControlSite>(form_, name_, formObject_.Get());
    DWORD misc = 0;
    object_->GetMiscStatus(DVASPECT_CONTENT, &misc);
    const bool siteFirst = (misc & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) {
        hr = object_->SetClientSite(site_.Get());
    }
    ComPtr<IPersistPropertyBag> persist;
    if (SUCCEEDED(hr)) {
        hr = object_.As(&persist);
    }
    if (SUCCEEDED(hr)) {
        hr = fresh ? persist->InitNew() : persist->Load(&bag, nullptr);
    }
    if (SUCCEEDED(hr) && !siteFirst) {
        hr = object_->SetClientSite(site_.Get());
    }
    if (FAILED(hr)) {
        close();
    }
    return hr;
}

HRESULT ControlHost::Save(SettingsBag& bag) {
    if (!object_) {
        return E_UNEXPECTED;
    }
    ComPtr<IPersistPropertyBag> persist;
    const HRESULT hr = object_.As(&persist);
    return FAILED(hr) ? hr : persist->Save(&bag, TRUE, TRUE);
}

} // namespace fillahead::demo
