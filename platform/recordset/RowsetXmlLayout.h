// Facts of the rowset XML layout that its reader and writer share: the
// namespaces, how field types are named, and the field attribute flags of
// the data layer that the schema attributes stand for.
#pragma once

#include <cstdint>
#include <string_view>

namespace fillahead::rowsetxml {

inline constexpr std::string_view kSchemaUri = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
inline constexpr std::string_view kDataTypeUri = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
inline constexpr std::string_view kRowsetUri = "urn:schemas-microsoft-com:rowset";
inline constexpr std::string_view kRowDataUri = "#RowsetSchema";

struct TypeName {
    std::int32_t code; // the data layer's type
    std::string_view dtType;
    std::string_view dbType; // empty: none
};

// Where several types share a form, the first is the one read back: a wide
// text field reads back as 8, the type a buffer's field is appended with.
inline constexpr TypeName kTypeNames[] = {
    {8, "string", ""},
    {202, "string", ""},
    {203, "string", ""},
    {130, "string", ""},
    {200, "string", "str"},
    {201, "string", "str"},
    {129, "string", "str"},
    {16, "i1", ""},
    {17, "ui1", ""},
    {2, "i2", ""},
    {18, "ui2", ""},
    {3, "int", ""},
    {19, "ui4", ""},
    {20, "i8", ""},
    {21, "ui8", ""},
    {4, "r4", ""},
    {5, "float", ""},
    {6, "i8", "currency"},
    {131, "number", "numeric"},
    {14, "number", "decimal"},
    {11, "boolean", ""},
    {7, "dateTime", "variantdate"},
    {135, "dateTime", "timestamp"},
    {133, "date", ""},
    {134, "time", ""},
    {72, "uuid", ""},
    {204, "bin.hex", ""},
    {205, "bin.hex", ""},
    {128, "bin.hex", ""},
    {12, "string", "variant"},
};

// Types whose values are of fixed length or long; the schema says so with
// rs:fixedlength and rs:long.
inline constexpr bool isFixedLengthType(std::int32_t code) {
    return code == 130 || code == 129 || code == 128;
}
inline constexpr bool isLongType(std::int32_t code) {
    return code == 203 || code == 201 || code == 205;
}

namespace fieldflag {
inline constexpr std::int32_t MayDefer = 0x2;
inline constexpr std::int32_t Updatable = 0x4;
inline constexpr std::int32_t UnknownUpdatable = 0x8;
inline constexpr std::int32_t Fixed = 0x10;
inline constexpr std::int32_t IsNullable = 0x20;
inline constexpr std::int32_t MayBeNull = 0x40;
inline constexpr std::int32_t Long = 0x80;
inline constexpr std::int32_t RowId = 0x100;
inline constexpr std::int32_t KeyColumn = 0x8000;
} // namespace fieldflag

// The rs: attribute of a field's schema entry that stands for each flag
// (rs:maybenull is true unless it says false).
struct FlagName {
    std::string_view name;
    std::int32_t flag;
};
inline constexpr FlagName kFlagNames[] = {
    {"nullable", fieldflag::IsNullable}, {"maydefer", fieldflag::MayDefer},
    {"write", fieldflag::Updatable},     {"writeunknown", fieldflag::UnknownUpdatable},
    {"keycolumn", fieldflag::KeyColumn}, {"rowid", fieldflag::RowId},
    {"fixedlength", fieldflag::Fixed},   {"long", fieldflag::Long},
};

} // namespace fillahead::rowsetxml
