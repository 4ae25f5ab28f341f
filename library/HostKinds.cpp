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

constexpr HostKind kKinds[] = {
    {ControlInterface::TextBox, u"TextBox", kTextBoxInterfaces, kTextBoxEvents, true,
     kTextBoxEventMethods, 0x40000, 0x40004, 0x40006, kTextBoxProperties},
    {ControlInterface::ComboBox, u"ComboBox", kComboBoxInterfaces, kComboBoxEvents, true,
     kComboBoxEventMethods, 0x40000, 0x40007, 0x40009, kComboBoxProperties},
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
