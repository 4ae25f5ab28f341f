#include "platform/PersistedProperties.h"

#include "platform/AutomationError.h"

#include <memory>

namespace fillahead {

const PersistedProperty* FindPersisted(TextView name) {
    for (const PersistedProperty& property : kPersistedProperties) {
        if (equalsIgnoringCase(property.name, name)) {
            return &property;
        }
    }
    return nullptr;
}

Variant DefaultOf(const PersistedProperty& property, TextView bufferLocation) {
    if (property.defaultSource == DefaultSource::BufferLocation) {
        return Variant(bufferLocation);
    }
    switch (property.type) {
    case PropertyType::Text:
        return Variant(property.defaultText);
    case PropertyType::Long:
        return Variant(property.defaultNumber);
    case PropertyType::Boolean:
        return Variant(property.defaultNumber != 0);
    case PropertyType::Object:
        break;
    }
    return Variant(std::shared_ptr<Object>());
}

Variant AsPersistedType(const PersistedProperty& property, const Variant& value) {
    switch (property.type) {
    case PropertyType::Text:
        return Variant(value.toText());
    case PropertyType::Long:
        return Variant(value.toLong());
    case PropertyType::Boolean:
        return Variant(value.toBoolean());
    case PropertyType::Object:
        break;
    }
    return value;
}

Variant ReadPersisted(PropertyBag& bag, const PersistedProperty& property,
                      TextView bufferLocation) {
    return AsPersistedType(property,
                           bag.ReadProperty(property.name, DefaultOf(property, bufferLocation)));
}

void WritePersisted(PropertyBag& bag, const PersistedProperty& property, const Variant& value,
                    TextView bufferLocation) {
    const Variant typed = AsPersistedType(property, value);
    if (property.alwaysWritten) {
        bag.WriteProperty(property.name, typed);
    } else {
        bag.WriteProperty(property.name, typed, DefaultOf(property, bufferLocation));
    }
}

Text SettingsTextOf(const PersistedProperty& property, const Variant& value) {
    return AsPersistedType(property, value).toText();
}

Text SettingsDefaultOf(const PersistedProperty& property, TextView bufferLocation) {
    return DefaultOf(property, bufferLocation).toText();
}

bool SendsNotice(const PersistedProperty& property, bool changed) {
    switch (property.notice) {
    case ChangeNotice::EveryLet:
        return true;
    case ChangeNotice::WhenChanged:
        return changed;
    case ChangeNotice::None:
        break;
    }
    return false;
}

} // namespace fillahead
