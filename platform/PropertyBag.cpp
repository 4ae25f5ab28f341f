#include "platform/PropertyBag.h"

#include <memory>

namespace fillahead {

Variant MemoryPropertyBag::ReadProperty(TextView key, const Variant& defaultValue) {
    for (const auto& [name, value] : entries_) {
        if (equalsIgnoringCase(name, key)) {
            return value;
        }
    }
    return defaultValue;
}

void MemoryPropertyBag::WriteProperty(TextView key, const Variant& value,
                                      const std::optional<Variant>& defaultValue) {
    if (value.isObject()) {
        if (auto persistable = std::dynamic_pointer_cast<Persistable>(value.toObject())) {
            auto nested = std::make_shared<MemoryPropertyBag>();
            persistable->WriteProperties(*nested);
            Set(key, Variant(std::shared_ptr<Object>(nested)));
            return;
        }
    }
    if (defaultValue && value == *defaultValue) {
        return;
    }
    Set(key, value);
}

void MemoryPropertyBag::Set(TextView key, const Variant& value) {
    for (auto& [name, stored] : entries_) {
        if (equalsIgnoringCase(name, key)) {
            stored = value;
            return;
        }
    }
    entries_.emplace_back(Text(key), value);
}

std::string MemoryPropertyBag::Render() const {
    std::string out;
    for (const auto& [name, value] : entries_) {
        out += toUtf8(name) + "=";
        if (value.isObject()) {
            auto nested = std::dynamic_pointer_cast<MemoryPropertyBag>(value.toObject());
            out += "{\n";
            if (nested) {
                std::string inner = nested->Render();
                for (std::size_t start = 0; start < inner.size();) {
                    const std::size_t end = inner.find('\n', start);
                    out += "  " + inner.substr(start, end - start + 1);
                    start = end + 1;
                }
            }
            out += "}\n";
        } else if (value.isNull()) {
            out += "Null\n";
        } else {
            out += toUtf8(value.toText()) + "\n";
        }
    }
    return out;
}

} // namespace fillahead
