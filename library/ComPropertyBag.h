// A container's IPropertyBag as the portable PropertyBag an object reads its
// settings from and writes them to, so that the object's own ReadProperties
// and WriteProperties serve COM containers unchanged.
#pragma once

#include <windows.h>

#include "platform/PropertyBag.h"

#include <ocidl.h>

namespace fillahead::library {

class ComPropertyBag final : public fillahead::PropertyBag {
public:
    // saveAll: write values equal to their defaults too (IPersistPropertyBag's
    // fSaveAllProperties).
    ComPropertyBag(IPropertyBag& bag, IErrorLog* log, bool saveAll = false)
        : bag_(bag), log_(log), saveAll_(saveAll) {}

    // A key the bag does not hold yields the default; any other failure of
    // the bag raises.
    fillahead::Variant ReadProperty(TextView key, const fillahead::Variant& defaultValue) override;
    void WriteProperty(TextView key, const fillahead::Variant& value,
                       const std::optional<fillahead::Variant>& defaultValue) override;

private:
    IPropertyBag& bag_;
    IErrorLog* log_;
    bool saveAll_;
};

} // namespace fillahead::library
