#include "platform/HostObject.h"

#include "platform/AutomationError.h"

namespace fillahead {

bool SameObject(const std::shared_ptr<HostObject>& a, const std::shared_ptr<HostObject>& b) {
    if (!a || !b) {
        return !a && !b;
    }
    return a.get() == b.get() || a->Identity() == b->Identity();
}

std::shared_ptr<HostObject> asHostObject(const Variant& value) {
    if (value.isEmpty()) {
        return nullptr;
    }
    if (!value.isObject()) {
        throw AutomationError(error::ObjectRequired);
    }
    const std::shared_ptr<Object> object = value.toObject();
    if (!object) {
        return nullptr;
    }
    auto host = std::dynamic_pointer_cast<HostObject>(object);
    if (!host) {
        throw AutomationError(error::ObjectRequired);
    }
    return host;
}

HostObject& objectOf(const std::shared_ptr<HostObject>& reference) {
    if (!reference) {
        throw AutomationError(error::ObjectNotSet);
    }
    return *reference;
}

std::shared_ptr<HostObject> objectProperty(HostObject& object, TextView name) {
    return asHostObject(object.GetProperty(name));
}

} // namespace fillahead
