// Runs a VBScript file inside this process through the VBScript engine, as
// cscript does, with a WScript object that has Echo; then checks that
// FillaheadLib2.dll agrees to be unloaded, which it does only when every
// object the script made was released. cscript cannot tell that, and it
// exits 0 after script errors; this host reports both:
//
//   script_host FILE.vbs     exit 0: the script ran without an error and the
//                            library is idle afterwards
#include <windows.h>

#include <activscp.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

using Microsoft::WRL::ComPtr;

namespace {

const CLSID kClsidVbscript = {
    0xb54f3741, 0x5b07, 0x11cf, {0xa4, 0xb0, 0x00, 0xaa, 0x00, 0x4a, 0x55, 0xe8}};

// Lives on main's stack, longer than the script engine: no reference counting.
template <typename Interface>
class StackObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == __uuidof(Interface)) {
            *out = static_cast<Interface*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// WScript.Echo: its arguments as text, separated by spaces, one line.
class Echo final : public StackObject<IDispatch> {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (count != 1 || _wcsicmp(names[0], L"Echo") != 0) {
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        if (id != 1) {
            return DISP_E_MEMBERNOTFOUND;
        }
        std::wstring line;
        for (UINT i = params->cArgs; i > 0; --i) {
            VARIANT text;
            VariantInit(&text);
            if (SUCCEEDED(
                    VariantChangeType(&text, &params->rgvarg[i - 1], VARIANT_ALPHABOOL, VT_BSTR))) {
                line += (line.empty() ? L"" : L" ") + std::wstring(V_BSTR(&text));
            }
            VariantClear(&text);
        }
        std::printf("%ls\n", line.c_str());
        std::fflush(stdout);
        return S_OK;
    }
};

class Site final : public StackObject<IActiveScriptSite> {
public:
    explicit Site(IDispatch& wscript) : wscript_(wscript) {}
    bool failed = false;

    HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                                          ITypeInfo** info) override {
        if (_wcsicmp(name, L"WScript") != 0) {
            return TYPE_E_ELEMENTNOTFOUND;
        }
        if ((mask & SCRIPTINFO_IUNKNOWN) != 0) {
            *item = &wscript_;
        }
        if ((mask & SCRIPTINFO_ITYPEINFO) != 0) {
            *info = nullptr;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
        failed = true;
        EXCEPINFO exception{};
        error->GetExceptionInfo(&exception);
        DWORD context = 0;
        ULONG line = 0;
        LONG column = 0;
        error->GetSourcePosition(&context, &line, &column);
        std::printf("script error on line %lu: %ls (0x%08lX)\n", line + 1,
                    exception.bstrDescription ? exception.bstrDescription : L"",
                    static_cast<unsigned long>(exception.scode));
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrHelpFile);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

private:
    IDispatch& wscript_;
};

std::wstring ReadScript(const char* path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        length);
    return text;
}

// Runs the script; false when it could not run or raised an error.
bool RunScript(const std::wstring& code) {
    Echo wscript;
    Site site(wscript);
    ComPtr<IActiveScript> engine;
    ComPtr<IActiveScriptParse> parser;
    if (FAILED(CoCreateInstance(kClsidVbscript, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                                reinterpret_cast<void**>(engine.GetAddressOf()))) ||
        FAILED(engine.As(&parser)) || FAILED(parser->InitNew()) ||
        FAILED(engine->SetScriptSite(&site)) ||
        FAILED(engine->AddNamedItem(L"WScript", SCRIPTITEM_ISVISIBLE)) ||
        FAILED(engine->SetScriptState(SCRIPTSTATE_STARTED))) {
        std::printf("the VBScript engine cannot be started\n");
        return false;
    }
    EXCEPINFO exception{};
    const HRESULT parsed = parser->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0, 0,
                                                   nullptr, &exception);
    engine->Close();
    return SUCCEEDED(parsed) && !site.failed;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: script_host FILE.vbs\n");
        return 2;
    }
    const std::wstring code = ReadScript(argv[1]);
    if (code.empty()) {
        std::printf("cannot read %s\n", argv[1]);
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 2;
    }
    const bool ran = RunScript(code);
    const HMODULE library = GetModuleHandleW(L"FillaheadLib2.dll");
    using CanUnload = HRESULT(WINAPI*)();
    const auto canUnload = library == nullptr ? nullptr
                                              : reinterpret_cast<CanUnload>(reinterpret_cast<void*>(
                                                    GetProcAddress(library, "DllCanUnloadNow")));
    const bool idle = canUnload != nullptr && canUnload() == S_OK;
    if (!idle) {
        std::printf("FillaheadLib2.dll %s\n",
                    library == nullptr ? "was never loaded" : "still has live objects");
    }
    CoUninitialize();
    return ran && idle ? 0 : 1;
}
