// PropertyBag: where a container persists an object's settings (VB's
// PropertyBag). A value equal to the default given on writing is not written;
// a key missing on reading yields the default given there. An object that
// persists itself is written as a nested bag of its own keys.
#pragma once

#include "platform/Text.h"
#include "platform/Variant.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace fillahead {

class PropertyBag;

// An object a property bag can store as a nested bag.
class Persistable {
public:
    virtual ~Persistable() = default;
    virtual void WriteProperties(PropertyBag& bag) = 0;
};

class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    virtual Variant ReadProperty(TextView key, const Variant& defaultValue) = 0;
    // Without a default the value is always written.
    virtual void WriteProperty(TextView key, const Variant& value,
                               const std::optional<Variant>& defaultValue = std::nullopt) = 0;
};

// A property bag in memory, keys in the order they were first written and
// matched without regard to case. Nested bags come back from ReadProperty as
// object values holding a MemoryPropertyBag.
class MemoryPropertyBag final : public PropertyBag, public Object {
public:
    Variant ReadProperty(TextView key, const Variant& defaultValue) override;
    void WriteProperty(TextView key, const Variant& value,
                       const std::optional<Variant>& defaultValue = std::nullopt) override;

    // Stores a value as it is, for building bags in tests and hosts.
    void Set(TextView key, const Variant& value);
    const std::vector<std::pair<Text, Variant>>& Entries() const { return entries_; }
    // One line per key, "Key=value", nested bags indented: for comparing a
    // whole bag at once.
    std::string Render() const;

private:
    std::vector<std::pair<Text, Variant>> entries_;
};

} // namespace fillahead
