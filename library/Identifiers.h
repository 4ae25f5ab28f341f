// The identifiers of the type library FillaheadLib and of what it declares.
// Fixed once and never changed: hosts compiled against them, and type
// libraries of other components that refer to ours, keep working.
//
// Plain #defines of the bare GUID text, so that one file feeds the IDL
// (through widl's preprocessor), the registration table and the C++ code.
#pragma once

// The GUIDs must stay one token run each, as widl reads them.
// clang-format off
#define FILLAHEAD_LIBID 7D98AFDB-E04E-4891-AE0C-C0EC84E4D842
#define FILLAHEAD_LIBRARY_VERSION_MAJOR 2
#define FILLAHEAD_LIBRARY_VERSION_MINOR 0

// The completion engine: the class, its default interface and its events.
#define FILLAHEAD_CLSID_FILLAHEAD 5AC1BBD0-DAC6-4296-BC10-591C53664171
#define FILLAHEAD_IID_FILLAHEAD 003B9CCA-3151-4C34-AEBF-3920D473A8B5
#define FILLAHEAD_DIID_FILLAHEAD_EVENTS A955A39E-9816-4154-9260-18A208B0A061

// The record set as hosts see it, with its field collection and field.
#define FILLAHEAD_IID_RECORDSET 5C508192-D844-4363-A1EA-8F0A9E04B107
#define FILLAHEAD_IID_FIELDS A7F678A1-9F79-4A26-B54C-E8BDE72D2C24
#define FILLAHEAD_IID_FIELD FDBB345A-2B66-4C24-81E4-5BE32FFB1964

// The ActiveX control: the class, its default interface and its events.
#define FILLAHEAD_CLSID_CONTROL C1FA229E-EA02-48E3-B0C5-E4CDC96842F1
#define FILLAHEAD_IID_CONTROL 0C0CC7F4-A292-46D5-B641-F719FF99161A
#define FILLAHEAD_DIID_CONTROL_EVENTS 69B44CD3-85EA-4D8A-B548-2B0C53A27D96

// The control's property page, its interface and the field it hands out as
// its active control.
#define FILLAHEAD_CLSID_PAGE 2A15A55E-1991-4219-A370-3D1A3A212F24
#define FILLAHEAD_IID_PAGE FD902EA9-CBC3-46DA-AB9F-43D96EC1456B
#define FILLAHEAD_IID_PAGE_FIELD 8D5C2620-964F-43B9-8509-EC3A3F625829

// Any Win32 window presented as a form the control can follow.
#define FILLAHEAD_CLSID_WINDOW_FORM 998B6064-5AEC-4B36-B18F-69D115488ABF
#define FILLAHEAD_IID_WINDOW_FORM D115FE85-44C0-40E1-A3D4-AED15E340CB1

// clang-format on

// The text of an identifier above as a string literal.
#define FILLAHEAD_GUID_TEXT(id) FILLAHEAD_GUID_TEXT_(id)
#define FILLAHEAD_GUID_TEXT_(id) #id
