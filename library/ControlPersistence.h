// The control's settings as its container keeps them.
//
// In a binary stream (IPersistStreamInit, and the "Contents" stream of
// IPersistStorage): the control's own keys as one bag stream
// (platform/PropertyBagStream.h), "CaptureReturnKey" and, when the control
// has an engine, "Fillahead" = True; after it, in that case only, the
// engine's keys as a second bag stream, the very bytes the Fillahead
// object's own IPersistStreamInit writes.
//
// In a container's property bag (IPersistPropertyBag): "CaptureReturnKey",
// and under "Fillahead" the engine as a nested Fillahead object, which the
// container persists through the object's own persistence; a bag that
// takes no objects gets the engine's stream bytes as a byte array
// (VT_ARRAY | VT_UI1) under the same key instead. Reading takes either, and
// hands the control the engine's keys as a nested bag, from which it makes
// its engine.
#pragma once

#include <windows.h>

#include "library/ComPropertyBag.h"
#include "platform/PersistedProperties.h"
#include "platform/PropertyBag.h"

#include <objidl.h>
#include <ocidl.h>

#include <cstdint>
#include <vector>

namespace fillahead::library {

// The key of the nested engine.
inline constexpr const char16_t* kEngineKey = Persisted(PersistedId::Fillahead).name;

// The settings the control wrote into a MemoryPropertyBag (the engine as a
// nested bag) as stream bytes. Raises type mismatch for a nested object that
// is not a bag.
std::vector<std::uint8_t> EncodeControlStream(const MemoryPropertyBag& written);
// The settings from where the stream stands, the engine as a nested bag.
// Raises invalid file format (321) for a damaged or truncated stream, and
// reads all or nothing.
MemoryPropertyBag ReadControlStream(IStream& stream);

// A container's property bag as the control reads and writes it.
class ControlPropertyBag final : public PropertyBag {
public:
    ControlPropertyBag(IPropertyBag& bag, IErrorLog* log)
        : plain_(bag, log), bag_(bag), log_(log) {}

    Variant ReadProperty(TextView key, const Variant& defaultValue) override;
    // The engine is written as an object (a nested bag or a Persistable);
    // a failure of the bag raises.
    void WriteProperty(TextView key, const Variant& value,
                       const std::optional<Variant>& defaultValue = std::nullopt) override;

private:
    ComPropertyBag plain_;
    IPropertyBag& bag_;
    IErrorLog* log_;
};

} // namespace fillahead::library
