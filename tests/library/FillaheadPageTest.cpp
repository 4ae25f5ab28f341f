// FillaheadPage through COM, hosted by the test as a frame hosts it: its
// interfaces, its page information, filling, editing and applying, and the
// keys a frame hands it.
#include "library/PageResources.h"
#include "tests/library/PageTesting.h"

#include <olectl.h>

#include <vector>

namespace fillahead::library::testing {
namespace {

// A frame's site that records the status changes the page reports.
class RecordingSite final : public IPropertyPageSite {
public:
    std::vector<DWORD> statuses;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IPropertyPageSite) {
            *out = static_cast<IPropertyPageSite*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
        statuses.push_back(flags);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* locale) override {
        *locale = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }

    ULONG references = 0;
};

// One frame window for the program: under Wine without a window manager,
// destroying a captioned window waits for a manager that never answers.
HWND FrameWindow() {
    static const HWND frame = [] {
        WNDCLASSEXW description{};
        description.cbSize = sizeof description;
        description.lpfnWndProc = DefWindowProcW;
        description.hInstance = GetModuleHandleW(nullptr);
        description.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        description.lpszClassName = L"FillaheadTestFrame";
        RegisterClassExW(&description);
        return CreateWindowExW(WS_EX_CONTROLPARENT, description.lpszClassName, L"Frame",
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 560, 360, nullptr, nullptr,
                               description.hInstance, nullptr);
    }();
    return frame;
}

class HostedPage : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HR(S_OK, CoCreateInstance(CLSID_FillaheadPage, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IPropertyPage2,
                                         reinterpret_cast<void**>(page.GetAddressOf())));
        ASSERT_HR(S_OK, page->SetPageSite(&site));
    }
    void TearDown() override {
        if (page) {
            page->Deactivate();
            page->SetObjects(0, nullptr);
            page->SetPageSite(nullptr);
        }
        EXPECT_EQ(site.references, 0u) << "the page still holds its site";
    }

    void Select(std::vector<IDispatch*> controls) {
        std::vector<IUnknown*> objects(controls.begin(), controls.end());
        ASSERT_HR(S_OK, page->SetObjects(static_cast<ULONG>(objects.size()), objects.data()));
    }
    void Activate() {
        const RECT place = {10, 10, 500, 300};
        ASSERT_HR(S_OK, page->Activate(FrameWindow(), &place, TRUE));
        ASSERT_HR(S_OK, page->Show(SW_SHOW));
        window = FindWindowExW(FrameWindow(), nullptr, L"#32770", nullptr);
        ASSERT_NE(window, nullptr);
    }
    HWND Field(int index) const { return GetDlgItem(window, FILLAHEAD_IDC_FIELD + index); }
    std::wstring Text(int id) const {
        wchar_t text[512] = {};
        GetDlgItemTextW(window, id, text, 512);
        return text;
    }
    std::wstring FieldText(int index) const { return Text(FILLAHEAD_IDC_FIELD + index); }
    // What a user's typing does to a text box.
    void Type(int index, const wchar_t* text) const { SetWindowTextW(Field(index), text); }
    HRESULT Key(HWND target, UINT message, WPARAM key) {
        MSG sent{target, message, key, 0, 0, {}};
        return page->TranslateAccelerator(&sent);
    }

    RecordingSite site;
    ComPtr<IPropertyPage2> page;
    HWND window = nullptr;
};

// The fields, by PageField order.
enum : int {
    kBuddy,
    kGroup,
    kGlobalLocation,
    kBrowseGlobal,
    kGlobalSize,
    kPrivateLocation,
    kBrowsePrivate,
    kPrivateSize,
    kCapture
};

TEST_F(HostedPage, AnswersAsAPropertyPageAndNothingElse) {
    for (const IID& iid : {IID_IUnknown, IID_IPropertyPage, IID_IPropertyPage2, IID_IDispatch,
                           IID__FillaheadPage, IID_ISupportErrorInfo}) {
        ComPtr<IUnknown> answer;
        EXPECT_HR(S_OK, page->QueryInterface(iid, reinterpret_cast<void**>(answer.GetAddressOf())));
    }
    for (const IID& iid : {IID_IPersist, IID_IPersistStreamInit, IID_IPersistPropertyBag,
                           IID_IOleObject, IID_IConnectionPointContainer, IID_IProvideClassInfo,
                           IID_ISpecifyPropertyPages, IID_IPropertyPageSite, IID__Fillahead}) {
        ComPtr<IUnknown> answer;
        EXPECT_HR(E_NOINTERFACE,
                  page->QueryInterface(iid, reinterpret_cast<void**>(answer.GetAddressOf())));
        EXPECT_EQ(answer.Get(), nullptr);
    }

    PROPPAGEINFO info{};
    ASSERT_HR(S_OK, page->GetPageInfo(&info));
    EXPECT_EQ(std::wstring(info.pszTitle), L"General");
    EXPECT_EQ(info.pszDocString, nullptr);
    const std::wstring help = info.pszHelpFile != nullptr ? info.pszHelpFile : L"";
    EXPECT_EQ(help.substr(help.find_last_of(L'\\') + 1), L"Fillahead.chm");
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszHelpFile);
    // The size the template takes in the font the dialog manager uses.
    ComPtr<IDispatch> control = NewSelectedControl();
    Select({control.Get()});
    Activate();
    RECT units = {0, 0, FILLAHEAD_PAGE_WIDTH, FILLAHEAD_PAGE_HEIGHT};
    MapDialogRect(window, &units);
    EXPECT_EQ(info.size.cx, units.right);
    EXPECT_EQ(info.size.cy, units.bottom);

    // A selection the page cannot reach by name is refused whole.
    IUnknown* notDispatch[] = {&site};
    EXPECT_HR(E_NOINTERFACE, page->SetObjects(1, notDispatch));
    EXPECT_HR(E_POINTER, page->SetObjects(1, nullptr));
    EXPECT_HR(S_OK, page->Deactivate());
    EXPECT_HR(E_UNEXPECTED, page->Show(SW_SHOW));
}

TEST_F(HostedPage, FillsFromTheFirstControlWhenWindowAndSelectionMeet) {
    ComPtr<IDispatch> first = ControlWithSettings(L"C:\\Private\\");
    ComPtr<IDispatch> second = NewSelectedControl();
    // The window first, the selection after it.
    Activate();
    EXPECT_EQ(FieldText(kGroup), L"");
    Select({first.Get(), second.Get()});
    EXPECT_EQ(FieldText(kBuddy), L"Text1");
    EXPECT_EQ(FieldText(kGroup), L"Form1");
    EXPECT_EQ(FieldText(kGlobalLocation), L"C:\\Global\\");
    EXPECT_EQ(FieldText(kGlobalSize), L"2");
    EXPECT_EQ(FieldText(kPrivateLocation), L"C:\\Private\\");
    EXPECT_EQ(FieldText(kPrivateSize), L"3");
    EXPECT_EQ(SendMessageW(Field(kCapture), BM_GETCHECK, 0, 0), BST_CHECKED);
    // Labels and captions, each with its access key.
    EXPECT_EQ(Text(FILLAHEAD_IDC_LABEL + kGlobalLocation), L"&Global Buffer Location:");
    EXPECT_EQ(Text(FILLAHEAD_IDC_LABEL + kPrivateSize), L"Si&ze:");
    EXPECT_EQ(FieldText(kBrowsePrivate), L"...");
    EXPECT_EQ(FieldText(kCapture), L"Capture &Return Key");
    // Filling is no edit.
    EXPECT_HR(S_FALSE, page->IsPageDirty());
    EXPECT_TRUE(site.statuses.empty());

    // The selection first, the window after it (as the system's frame does).
    page->Deactivate();
    Select({second.Get()});
    Activate();
    EXPECT_EQ(FieldText(kBuddy), L"");
    EXPECT_EQ(FieldText(kGlobalSize), L"0");
    EXPECT_EQ(SendMessageW(Field(kCapture), BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(HostedPage, AnEditMakesThePageDirtyAndApplyWritesTheFirstControlOnly) {
    ComPtr<IDispatch> first = ControlWithSettings(L"C:\\Private\\");
    ComPtr<IDispatch> second = ControlWithSettings(L"C:\\Second\\");
    // Applying before the page has its window writes nothing.
    Select({first.Get(), second.Get()});
    EXPECT_HR(S_OK, page->Apply());
    EXPECT_EQ(PropertyText(first.Get(), L"ControlGroupName"), L"Form1");

    Activate();
    Type(kGroup, L"Orders");
    EXPECT_HR(S_OK, page->IsPageDirty());
    EXPECT_EQ(site.statuses, std::vector<DWORD>{PROPPAGESTATUS_DIRTY});
    Type(kPrivateSize, L" 12 ");
    // A click on the check box clears it; a grayed box is clicked checked.
    SendMessageW(Field(kCapture), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(Field(kCapture), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageW(Field(kCapture), BM_SETCHECK, BST_INDETERMINATE, 0);
    SendMessageW(Field(kCapture), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(Field(kCapture), BM_GETCHECK, 0, 0), BST_CHECKED);

    // Grayed is written as False.
    SendMessageW(Field(kCapture), BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_HR(S_OK, page->Apply());
    EXPECT_EQ(PropertyText(first.Get(), L"ControlGroupName"), L"Orders");
    EXPECT_EQ(PropertyText(first.Get(), L"PrivateBufferSize"), L"12");
    EXPECT_EQ(PropertyText(first.Get(), L"CaptureReturnKey"), L"False");
    EXPECT_EQ(PropertyText(second.Get(), L"ControlGroupName"), L"Form1");
    EXPECT_EQ(PropertyText(second.Get(), L"CaptureReturnKey"), L"True");
    EXPECT_HR(S_FALSE, page->IsPageDirty());
    EXPECT_EQ(site.statuses, (std::vector<DWORD>{PROPPAGESTATUS_DIRTY, PROPPAGESTATUS_CLEAN}));
}

TEST_F(HostedPage, ApplyStopsAtASizeThatIsNoNumberWithTheEarlierPropertiesWritten) {
    ComPtr<IDispatch> control = ControlWithSettings(L"C:\\Private\\");
    Select({control.Get()});
    Activate();
    Type(kBuddy, L"Text9");
    Type(kGroup, L"Orders");
    Type(kGlobalSize, L"ten");
    Type(kPrivateSize, L"7");

    EXPECT_HR(0x800A000D, page->Apply()); // VB's "Type mismatch"
    EXPECT_EQ(ErrorDescription(), L"Type mismatch");
    EXPECT_EQ(PropertyText(control.Get(), L"BuddyControl"), L"Text9");
    EXPECT_EQ(PropertyText(control.Get(), L"ControlGroupName"), L"Orders");
    EXPECT_EQ(PropertyText(control.Get(), L"GlobalBufferSize"), L"2");
    EXPECT_EQ(PropertyText(control.Get(), L"PrivateBufferSize"), L"3");
    // Still changed: the developer corrects the size and applies again.
    EXPECT_HR(S_OK, page->IsPageDirty());
    Type(kGlobalSize, L"10");
    EXPECT_HR(S_OK, page->Apply());
    EXPECT_EQ(PropertyText(control.Get(), L"GlobalBufferSize"), L"10");
    EXPECT_EQ(PropertyText(control.Get(), L"PrivateBufferSize"), L"7");
}

TEST_F(HostedPage, TabAccessKeysAndEditPropertyMoveTheFocusBetweenFields) {
    ComPtr<IDispatch> control = ControlWithSettings(L"C:\\Private\\");
    Select({control.Get()});
    Activate();
    SetForegroundWindow(FrameWindow());
    SetFocus(Field(kGroup));

    EXPECT_HR(S_OK, Key(Field(kGroup), WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(GetFocus(), Field(kGlobalLocation));
    EXPECT_HR(S_OK, Key(Field(kGlobalLocation), WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(GetFocus(), Field(kBrowseGlobal));
    // Alt+Z: the private size, whose label is "Si&ze:".
    EXPECT_HR(S_OK, Key(GetFocus(), WM_SYSCHAR, L'z'));
    EXPECT_EQ(GetFocus(), Field(kPrivateSize));
    // Return and Escape are the frame's, and so are keys of its own windows.
    EXPECT_HR(S_FALSE, Key(GetFocus(), WM_KEYDOWN, VK_RETURN));
    EXPECT_HR(S_FALSE, Key(GetFocus(), WM_KEYDOWN, VK_ESCAPE));
    EXPECT_HR(S_FALSE, Key(FrameWindow(), WM_KEYDOWN, VK_TAB));
    EXPECT_EQ(GetFocus(), Field(kPrivateSize));

    ComPtr<_FillaheadPage> own;
    ASSERT_HR(S_OK, page.As(&own));
    ComPtr<IDispatch> active;
    ASSERT_HR(S_OK, own->get_ActiveControl(&active));
    ASSERT_NE(active.Get(), nullptr);
    EXPECT_EQ(PropertyText(active.Get(), L"Name"), L"txtPrivateBufferSize");
    EXPECT_EQ(PropertyText(active.Get(), L"hWnd"),
              std::to_wstring(reinterpret_cast<INT_PTR>(Field(kPrivateSize))));

    // The frame asks for a property by the control's DISPID.
    EXPECT_HR(S_OK, page->EditProperty(DispidOf(control.Get(), L"GlobalBufferLocation")));
    EXPECT_EQ(GetFocus(), Field(kGlobalLocation));
    EXPECT_HR(E_INVALIDARG, page->EditProperty(DispidOf(control.Get(), L"ListField")));

    SetFocus(FrameWindow());
    ASSERT_HR(S_OK, own->get_ActiveControl(&active));
    EXPECT_EQ(active.Get(), nullptr);
}

TEST_F(HostedPage, HelpNamesAMissingHelpFile) {
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), page->Help(L"C:\\no-such-folder"));
    EXPECT_EQ(ErrorDescription(),
              L"The help file C:\\no-such-folder\\Fillahead.chm cannot be found.");
}

} // namespace
} // namespace fillahead::library::testing
