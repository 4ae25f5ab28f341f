// The persisted properties of the engine and the control, in one table: the
// key each one is stored under, where it lives, its type, its default and
// the change notice its Let sends. The engine's InitProperties,
// ReadProperties and WriteProperties, the control's, the COM persistence and
// the property page all read it; none of them names a key or a default of
// its own.
//
// The keys and defaults are those of property bags and settings already
// written by installed programs: never change one. The table order is the
// order of reading and writing (keys in the engine's bag are written in that
// order, the settings store is read between them).
//
// Where a property lives:
// - EngineBag: the engine's own property bag (nested in the control's under
//   the key "Fillahead"). A value equal to its write default is not written,
//   unless the table says it is always written; a missing key reads as the
//   default.
// - UserSettings: the per-user settings store (kApplicationTitle, section
//   kSettingsSection), as text, shared by every engine of the user; the
//   property's Let writes it, reading takes the default when it is missing.
// - ControlBag: the control's own property bag, beside the nested engine.
#pragma once

#include "platform/PropertyBag.h"
#include "platform/Text.h"
#include "platform/Variant.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace fillahead {

enum class PersistedId : std::uint8_t {
    PrivateBufferLocation,
    GlobalBufferLocation,
    MaxDisplayRows,
    PrivateBufferSize,
    GlobalBufferSize,
    BufferUsage,
    BuddyControl,
    ControlGroupName,
    ListField,
    BoundColumn,
    Fillahead,
    CaptureReturnKey,
};

enum class PropertyHome : std::uint8_t { EngineBag, UserSettings, ControlBag };

// Object: the nested engine, whose default is no object.
enum class PropertyType : std::uint8_t { Text, Long, Boolean, Object };

// The default's source: a value of the table, or the machine's default
// buffer folder (the common-files folder followed by "Fillahead").
enum class DefaultSource : std::uint8_t { Value, BufferLocation };

// When the property's Let tells the owner that the stored settings changed.
enum class ChangeNotice : std::uint8_t { None, EveryLet, WhenChanged };

struct PersistedProperty {
    PersistedId id;
    const char16_t* name;
    PropertyHome home;
    PropertyType type;
    DefaultSource defaultSource;
    // The default of a Text property (defaultSource Value).
    const char16_t* defaultText;
    // The default of a Long or Boolean property (Boolean: 0 False, else True).
    std::int32_t defaultNumber;
    // Written even when equal to the default (no write default).
    bool alwaysWritten;
    // A new engine's InitProperties sets it to its default; one that is not
    // set there keeps what the owner gave it (the control's group name).
    bool initialised;
    ChangeNotice notice;
    // Edited on the property page (as the control's property of that name).
    bool onPage;
};

inline constexpr std::array<PersistedProperty, 12> kPersistedProperties{{
    {PersistedId::PrivateBufferLocation, u"PrivateBufferLocation", PropertyHome::EngineBag,
     PropertyType::Text, DefaultSource::BufferLocation, u"", 0, false, true, ChangeNotice::EveryLet,
     true},
    {PersistedId::GlobalBufferLocation, u"GlobalBufferLocation", PropertyHome::UserSettings,
     PropertyType::Text, DefaultSource::BufferLocation, u"", 0, false, true, ChangeNotice::EveryLet,
     true},
    {PersistedId::MaxDisplayRows, u"MaxDisplayRows", PropertyHome::EngineBag, PropertyType::Long,
     DefaultSource::Value, u"", 8, false, true, ChangeNotice::EveryLet, false},
    {PersistedId::PrivateBufferSize, u"PrivateBufferSize", PropertyHome::EngineBag,
     PropertyType::Long, DefaultSource::Value, u"", 1, false, true, ChangeNotice::EveryLet, true},
    {PersistedId::GlobalBufferSize, u"GlobalBufferSize", PropertyHome::UserSettings,
     PropertyType::Long, DefaultSource::Value, u"", 1, false, true, ChangeNotice::EveryLet, true},
    {PersistedId::BufferUsage, u"BufferUsage", PropertyHome::EngineBag, PropertyType::Long,
     DefaultSource::Value, u"", 0, false, true, ChangeNotice::EveryLet, false},
    {PersistedId::BuddyControl, u"BuddyControl", PropertyHome::EngineBag, PropertyType::Text,
     DefaultSource::Value, u"", 0, false, true, ChangeNotice::EveryLet, true},
    {PersistedId::ControlGroupName, u"ControlGroupName", PropertyHome::EngineBag,
     PropertyType::Text, DefaultSource::Value, u"", 0, true, false, ChangeNotice::EveryLet, true},
    {PersistedId::ListField, u"ListField", PropertyHome::EngineBag, PropertyType::Text,
     DefaultSource::Value, u"SavedStringField", 0, true, true, ChangeNotice::WhenChanged, false},
    {PersistedId::BoundColumn, u"BoundColumn", PropertyHome::EngineBag, PropertyType::Text,
     DefaultSource::Value, u"SavedStringField", 0, true, true, ChangeNotice::WhenChanged, false},
    {PersistedId::Fillahead, u"Fillahead", PropertyHome::ControlBag, PropertyType::Object,
     DefaultSource::Value, u"", 0, false, true, ChangeNotice::None, false},
    {PersistedId::CaptureReturnKey, u"CaptureReturnKey", PropertyHome::ControlBag,
     PropertyType::Boolean, DefaultSource::Value, u"", 0, true, true, ChangeNotice::None, true},
}};

constexpr const PersistedProperty& Persisted(PersistedId id) {
    return kPersistedProperties[static_cast<std::size_t>(id)];
}

// The property stored under a key (ignoring case, as property bags match
// keys); null for a key that is none of ours.
const PersistedProperty* FindPersisted(TextView name);

// The default of a property; bufferLocation is the machine's default buffer
// folder, used by the properties whose default it is.
Variant DefaultOf(const PersistedProperty& property, TextView bufferLocation = {});

// A value converted to the property's type; raises type mismatch (13) for a
// value that is not one. An object passes as it is.
Variant AsPersistedType(const PersistedProperty& property, const Variant& value);

// Reads a property kept in a bag (EngineBag or ControlBag): the stored value
// converted to its type, or its default for a missing key.
Variant ReadPersisted(PropertyBag& bag, const PersistedProperty& property,
                      TextView bufferLocation = {});

// Writes a property kept in a bag, leaving it out when it equals its default
// unless it is always written.
void WritePersisted(PropertyBag& bag, const PersistedProperty& property, const Variant& value,
                    TextView bufferLocation = {});

// The text a UserSettings property is stored as in the settings store, and
// the default text read when it is missing there.
Text SettingsTextOf(const PersistedProperty& property, const Variant& value);
Text SettingsDefaultOf(const PersistedProperty& property, TextView bufferLocation = {});

// Whether a Let that replaced old by new sends the change notice.
bool SendsNotice(const PersistedProperty& property, bool changed);

} // namespace fillahead
