// FillaheadPageObject: the COM class FillaheadPage, the control's "General"
// property page, a thin wrapper around one portable fillahead::FillaheadPage.
//
// - IPropertyPage2, for the frame: the page's window is a PageDialog made
//   from the dialog template of this module; the selected objects are
//   reached through IDispatch by property name; the changed flag reaches the
//   site as PROPPAGESTATUS_DIRTY (and PROPPAGESTATUS_CLEAN once applied).
//   The page fills its fields once it has both its window and the objects,
//   whichever comes first. Apply writes the fields to the first object when
//   the page shows them and the user changed one; a property the object
//   refuses ends Apply with the object's error (IErrorInfo), the properties
//   before it written.
// - _FillaheadPage, dual: ActiveControl, the field with the focus.
//
// The object keeps itself alive while it handles a click: the open-file
// dialog runs a message loop of its own, in which the frame may release the
// page.
#pragma once

#include <windows.h>

#include "designtime/FillaheadPage.h"
#include "designtime/PageFrame.h"
#include "library/ComObject.h"
#include "library/Dispatch.h"
#include "library/PageDialog.h"
#include "library/generated/FillaheadLib.h"

#include <ocidl.h>
#include <olectl.h>

#include <vector>

namespace fillahead::library {

class FillaheadPageObject final
    : public ComObject<Dispatch<_FillaheadPage>, IPropertyPage2, ISupportErrorInfo>,
      private PageFrame,
      private PageDialog::Events {
public:
    // The class factory's CreateInstance.
    static HRESULT Create(REFIID iid, void** out) noexcept;

    FillaheadPageObject();
    ~FillaheadPageObject() override;

    // _FillaheadPage
    HRESULT STDMETHODCALLTYPE get_ActiveControl(IDispatch** Control) override;

    // IPropertyPage
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT where, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT command) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT where) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpFolder) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override;
    // IPropertyPage2
    HRESULT STDMETHODCALLTYPE EditProperty(DISPID property) override;

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

protected:
    // IPropertyPage, which IPropertyPage2 extends.
    void* QueryExtra(REFIID iid) override;

private:
    template <typename Body>
    HRESULT call(Body&& body);
    // Fills the fields when the page has its window and objects to show.
    void showSelection();

    // PageFrame
    std::size_t SelectedCount() override { return objects_.size(); }
    Variant GetSelectedProperty(std::size_t item, TextView name) override;
    void LetSelectedProperty(std::size_t item, TextView name, const Variant& value) override;
    Text FieldText(PageField field) override { return dialog_.FieldText(field); }
    void SetFieldText(PageField field, TextView text) override {
        dialog_.SetFieldText(field, text);
    }
    std::int32_t CheckBoxValue(PageField field) override { return dialog_.CheckBoxValue(field); }
    void SetCheckBoxValue(PageField field, std::int32_t value) override {
        dialog_.SetCheckBoxValue(field, value);
    }
    void SetFocus(PageField field) override { dialog_.Focus(field); }
    std::optional<PageField> FocusedField() override { return dialog_.FocusedField(); }
    void ChangedStatus(bool changed) override;
    WindowHandle PageWindow() override;

    // PageDialog::Events
    void FieldTextChanged(PageField field) noexcept override;
    void FieldClicked(PageField field) noexcept override;

    ComPtr<IPropertyPageSite> site_;
    std::vector<ComPtr<IDispatch>> objects_;
    FillaheadPage page_;
    // Declared last, so that the window goes before the page it reports to.
    PageDialog dialog_;
};

} // namespace fillahead::library
