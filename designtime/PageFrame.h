// PageFrame: what the property page's window and the property frame around
// it give the page. Each field is one control of the page's dialog (a text
// box, a button or a check box); the selected controls are reached by
// property name, as any property page reaches them, with automation values.
//
// The frame tells the page what the user does (FillaheadPage::TextChange and
// Click), also when the page itself changed a field, as dialog controls do.
// Everything runs on the user-interface thread.
#pragma once

#include "platform/PersistedProperties.h"
#include "platform/Text.h"
#include "platform/Variant.h"
#include "platform/WindowTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace fillahead {

// The page's fields, in tab order.
enum class PageField : std::uint8_t {
    txtBuddyControl,
    txtControlGroupName,
    txtGlobalBufferLocation,
    cmdPublic,
    txtGlobalBufferSize,
    txtPrivateBufferLocation,
    cmdPrivate,
    txtPrivateBufferSize,
    chkCaptureReturnKey,
};
inline constexpr std::size_t kPageFieldCount = 9;

enum class PageFieldKind : std::uint8_t { TextBox, Button, CheckBox };

struct PageFieldInfo {
    PageField field;
    PageFieldKind kind;
    const char16_t* name;
    // The text of a text box's label, or the caption of a button or a
    // check box.
    const char16_t* label;
    // The letter of the label that moves the focus to the field with Alt
    // (a dialog marks it with "&"); 0 for none.
    char16_t accessKey;
    // The control's property the field edits; null for a button.
    const char16_t* property;
};

// The name of a property the page edits, as the control persists it.
constexpr const char16_t* persistedName(PersistedId id) {
    return Persisted(id).name;
}

inline constexpr std::array<PageFieldInfo, kPageFieldCount> kPageFields{{
    {PageField::txtBuddyControl, PageFieldKind::TextBox, u"txtBuddyControl", u"Buddy Control:",
     u'B', persistedName(PersistedId::BuddyControl)},
    {PageField::txtControlGroupName, PageFieldKind::TextBox, u"txtControlGroupName",
     u"Control Group Name:", u'C', persistedName(PersistedId::ControlGroupName)},
    {PageField::txtGlobalBufferLocation, PageFieldKind::TextBox, u"txtGlobalBufferLocation",
     u"Global Buffer Location:", u'G', persistedName(PersistedId::GlobalBufferLocation)},
    {PageField::cmdPublic, PageFieldKind::Button, u"cmdPublic", u"...", 0, nullptr},
    {PageField::txtGlobalBufferSize, PageFieldKind::TextBox, u"txtGlobalBufferSize", u"Size:", u'S',
     persistedName(PersistedId::GlobalBufferSize)},
    {PageField::txtPrivateBufferLocation, PageFieldKind::TextBox, u"txtPrivateBufferLocation",
     u"Private Buffer Location:", u'P', persistedName(PersistedId::PrivateBufferLocation)},
    {PageField::cmdPrivate, PageFieldKind::Button, u"cmdPrivate", u"...", 0, nullptr},
    {PageField::txtPrivateBufferSize, PageFieldKind::TextBox, u"txtPrivateBufferSize", u"Size:",
     u'z', persistedName(PersistedId::PrivateBufferSize)},
    {PageField::chkCaptureReturnKey, PageFieldKind::CheckBox, u"chkCaptureReturnKey",
     u"Capture Return Key", u'R', persistedName(PersistedId::CaptureReturnKey)},
}};

inline const PageFieldInfo& FieldInfo(PageField field) {
    return kPageFields[static_cast<std::size_t>(field)];
}

// A label as a dialog control takes it: "&" before the access key, and any
// "&" of the text itself doubled.
Text DialogLabel(const PageFieldInfo& info);

// Check box values (VB's vbUnchecked, vbChecked, vbGrayed).
inline constexpr std::int32_t vbUnchecked = 0;
inline constexpr std::int32_t vbChecked = 1;
inline constexpr std::int32_t vbGrayed = 2;

class PageFrame {
public:
    virtual ~PageFrame() = default;

    // --- The selected controls, item 0 first. ---
    virtual std::size_t SelectedCount() = 0;
    // Reads and writes a property of one selected control by name. A value
    // the control rejects, or a name it lacks, raises AutomationError.
    virtual Variant GetSelectedProperty(std::size_t item, TextView name) = 0;
    virtual void LetSelectedProperty(std::size_t item, TextView name, const Variant& value) = 0;

    // --- The fields. ---
    virtual Text FieldText(PageField field) = 0;
    // The two setters may tell the page through TextChange or Click, as
    // the controls of some dialogs do; the page works either way.
    virtual void SetFieldText(PageField field, TextView text) = 0;
    // The check box's value: vbUnchecked, vbChecked or vbGrayed.
    virtual std::int32_t CheckBoxValue(PageField field) = 0;
    virtual void SetCheckBoxValue(PageField field, std::int32_t value) = 0;
    virtual void SetFocus(PageField field) = 0;
    // The field that has the focus; none when the focus is outside the page.
    virtual std::optional<PageField> FocusedField() = 0;

    // The frame's changed flag (which enables its Apply button) went on or off.
    virtual void ChangedStatus(bool changed) = 0;
    // The page's window, owner of the dialogs the page opens; 0 before it
    // has one.
    virtual WindowHandle PageWindow() = 0;
};

} // namespace fillahead
