#include "library/HostKinds.h"

namespace fillahead::library {
namespace {

// --- The intrinsic TextBox and ComboBox of VB (library VB,
// {FCFB3D2E-A0FA-1068-A738-08002B3371B5}). ---

constexpr IID kTextBoxInterfaces[] = {
    // _TextBox
    {0x33AD4EE1, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}},
};
// TextBoxEvents
constexpr IID kTextBoxEvents = {
    0x33AD4EE2, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};

constexpr IID kComboBoxInterfaces[] = {
    // _ComboBox
    {0x33AD4F09, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}},
};
// ComboBoxEvents
constexpr IID kComboBoxEvents = {
    0x33AD4F0A, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};

// The event interfaces derive from IUnknown, one HRESULT method per event.
// The offsets of Change, KeyDown and KeyUp are published; the order and
// arguments of the others follow the controls' documented events (by
// reference arguments and Singles take one word each).
constexpr EventMethod kTextBoxEventMethods[] = {
    {u"Change", 0},       {u"DragDrop", 3},    {u"DragOver", 4},        {u"GotFocus", 0},
    {u"KeyDown", 2},      {u"KeyPress", 1},    {u"KeyUp", 2},           {u"LinkClose", 0},
    {u"LinkError", 1},    {u"LinkOpen", 1},    {u"LostFocus", 0},       {u"LinkNotify", 0},
    {u"MouseDown", 4},    {u"MouseMove", 4},   {u"MouseUp", 4},         {u"Click", 0},
    {u"DblClick", 0},     {u"OLEDragOver", 7}, {u"OLEDragDrop", 6},     {u"OLEGiveFeedback", 2},
    {u"OLEStartDrag", 2}, {u"OLESetData", 2},  {u"OLECompleteDrag", 1}, {u"Validate", 1},
};

constexpr EventMethod kComboBoxEventMethods[] = {
    {u"Change", 0},       {u"Click", 0},       {u"DblClick", 0},        {u"DragDrop", 3},
    {u"DragOver", 4},     {u"DropDown", 0},    {u"GotFocus", 0},        {u"KeyDown", 2},
    {u"KeyPress", 1},     {u"KeyUp", 2},       {u"LostFocus", 0},       {u"OLECompleteDrag", 1},
    {u"OLEDragDrop", 6},  {u"OLEDragOver", 7}, {u"OLEGiveFeedback", 2}, {u"OLESetData", 2},
    {u"OLEStartDrag", 2}, {u"Scroll", 0},      {u"Validate", 1},
};

constexpr PublishedDispid kTextBoxProperties[] = {
    {u"Name", 0x10000, Published::Sure},      {u"Text", 0x1000B, Published::Sure},
    {u"hWnd", 0x10027, Published::Sure},      {u"Alignment", 0x10024, Published::Sure},
    {u"BackColor", 0x10002, Published::Sure}, {u"PasswordChar", 0x10022, Published::Sure},
    {u"MultiLine", 0x10017, Published::Sure}, {u"Left", 0x10004, Published::Sure},
    {u"Top", 0x10005, Published::Sure},       {u"Width", 0x10006, Published::Sure},
    {u"Height", 0x10007, Published::Sure},
};

constexpr PublishedDispid kComboBoxProperties[] = {
    {u"Name", 0x10000, Published::Sure},   {u"Text", 0x1000C, Published::Sure},
    {u"hWnd", 0x10020, Published::Sure},   {u"BackColor", 0x10003, Published::Sure},
    {u"Style", 0x10001, Published::Sure},  {u"Left", 0x10005, Published::Sure},
    {u"Top", 0x10006, Published::Sure},    {u"Width", 0x10007, Published::Sure},
    {u"Height", 0x10008, Published::Sure},
};

// --- MSForms TextBox (library {0D452EE1-E08F-101A-852E-02608C4D0BB4}):
// windowless, its events a dispinterface. Name and position (points) come
// from the extender around it, which passes everything else on. ---

constexpr IID kFormsTextBoxInterfaces[] = {
    // IMdcText
    {0x8BD21D13, 0xEC42, 0x11CE, {0x9E, 0x0D, 0x00, 0xAA, 0x00, 0x60, 0x02, 0xF3}},
};
// MdcTextEvents
constexpr IID kFormsTextBoxEvents = {
    0x8BD21D12, 0xEC42, 0x11CE, {0x9E, 0x0D, 0x00, 0xAA, 0x00, 0x60, 0x02, 0xF3}};

constexpr PublishedDispid kFormsTextBoxProperties[] = {
    {u"Text", -517, Published::Sure},
    {u"BackColor", -501, Published::Sure},
    {u"MultiLine", -537, Published::Sure},
    {u"PasswordChar", -534, Published::Sure},
    {u"TextAlign", 10004, Published::Sure},
    {u"Name", static_cast<DISPID>(0x80010000), Published::Sure},
    {u"Left", static_cast<DISPID>(0x80010003), Published::Likely},
    {u"Top", static_cast<DISPID>(0x80010004), Published::Likely},
    {u"Width", static_cast<DISPID>(0x80010005), Published::Likely},
    {u"Height", static_cast<DISPID>(0x80010006), Published::Likely},
};

// --- Access TextBox: windowless, positions in twips, its events a
// dispinterface whose key arguments are Variants by reference. ---

constexpr IID kAccessTextBoxInterfaces[] = {
    // _Textbox
    {0x3B06E946, 0xE47C, 0x11CD, {0x87, 0x01, 0x00, 0xAA, 0x00, 0x3F, 0x0F, 0x07}},
};
// DispTextBoxEvents
constexpr IID kAccessTextBoxEvents = {
    0x2E705275, 0x92D1, 0x43CC, {0xA5, 0x7B, 0xED, 0x48, 0xBC, 0xCC, 0x71, 0x1D}};

constexpr PublishedDispid kAccessTextBoxProperties[] = {
    {u"Name", static_cast<DISPID>(0x80010000), Published::Likely},
    {u"Text", 0x10B, Published::Likely},
    {u"Left", 0x36, Published::Likely},
    {u"Top", 0x8D, Published::Likely},
    {u"Width", 0x96, Published::Likely},
    {u"Height", 0x2C, Published::Likely},
    {u"BackColor", 0x1C, Published::Likely},
    {u"TextAlign", 0x88, Published::Likely},
    {u"OnChange", 0x72, Published::Likely},
    {u"OnKeyDown", 0x68, Published::Likely},
    {u"OnKeyUp", 0x69, Published::Likely},
};

// --- DataCombo and DBCombo: windowed, text at DISPID 15. ---

constexpr IID kDataComboInterfaces[] = {
    // IDataCombo
    {0xF0D2F21A, 0xCCB0, 0x11D0, {0xA3, 0x16, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}},
};
// Not published: the control's own default source comes first.
constexpr IID kDataComboEventsGuess = {
    0xF0D2F21B, 0xCCB0, 0x11D0, {0xA3, 0x16, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};

constexpr IID kDBComboInterfaces[] = {
    // IDBCombo, and the interface of its older version
    {0x09194002, 0xDF6E, 0x11CF, {0x8E, 0x74, 0x00, 0xA0, 0xC9, 0x0F, 0x26, 0xF8}},
    {0xFAEEE761, 0x117E, 0x101B, {0x89, 0x33, 0x08, 0x00, 0x2B, 0x2F, 0x4F, 0x5A}},
};
// DDBComboEvents
constexpr IID kDBComboEvents = {
    0xFAEEE762, 0x117E, 0x101B, {0x89, 0x33, 0x08, 0x00, 0x2B, 0x2F, 0x4F, 0x5A}};

constexpr PublishedDispid kDataListComboProperties[] = {
    {u"Text", 15, Published::Sure},
    {u"Style", 4, Published::Sure},
    {u"BackColor", -501, Published::Sure},
    {u"hWnd", -515, Published::Sure},
    {u"Name", static_cast<DISPID>(0x80010000), Published::Sure},
};

constexpr HostKind kKinds[] = {
    {ControlInterface::TextBox, u"TextBox", kTextBoxInterfaces, kTextBoxEvents, true,
     kTextBoxEventMethods, 0x40000, 0x40004, 0x40006, kTextBoxProperties},
    {ControlInterface::ComboBox, u"ComboBox", kComboBoxInterfaces, kComboBoxEvents, true,
     kComboBoxEventMethods, 0x40000, 0x40007, 0x40009, kComboBoxProperties},
    {ControlInterface::FormsTextBox,
     u"MSForms TextBox",
     kFormsTextBoxInterfaces,
     kFormsTextBoxEvents,
     false,
     {},
     2,
     -602,
     -604,
     kFormsTextBoxProperties,
     KeyArguments::ReturnInteger},
    {ControlInterface::AccessTextBox,
     u"Access TextBox",
     kAccessTextBoxInterfaces,
     kAccessTextBoxEvents,
     false,
     {},
     0x81D,
     -602,
     -604,
     kAccessTextBoxProperties,
     KeyArguments::Variants},
    {ControlInterface::DataCombo,
     u"DataCombo",
     kDataComboInterfaces,
     kDataComboEventsGuess,
     false,
     {},
     1,
     -602,
     -604,
     kDataListComboProperties,
     KeyArguments::Integers,
     true},
    {ControlInterface::DBCombo,
     u"DBCombo",
     kDBComboInterfaces,
     kDBComboEvents,
     false,
     {},
     1,
     -602,
     -604,
     kDataListComboProperties},
};

} // namespace

const HostKind* HostKindOf(ControlInterface kind) noexcept {
    for (const HostKind& known : kKinds) {
        if (known.kind == kind) {
            return &known;
        }
    }
    return nullptr;
}

const PublishedDispid* PublishedProperty(const HostKind& kind, TextView name) noexcept {
    for (const PublishedDispid& property : kind.properties) {
        if (equalsIgnoringCase(property.name, name)) {
            return &property;
        }
    }
    return nullptr;
}

} // namespace fillahead::library
