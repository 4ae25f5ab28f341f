// FillaheadObject's persistence: IPersistStreamInit and IPersistPropertyBag
// over the engine's own ReadProperties and WriteProperties.
#include "library/ComPropertyBag.h"
#include "library/ErrorInfo.h"
#include "library/FillaheadObject.h"
#include "library/StreamBytes.h"
#include "platform/PropertyBagStream.h"

namespace fillahead::library {

HRESULT FillaheadObject::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) {
        return E_POINTER;
    }
    *clsid = CLSID_Fillahead;
    return S_OK;
}

HRESULT FillaheadObject::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT FillaheadObject::InitNew() {
    if (initialisation_ == Initialisation::InitNew || initialisation_ == Initialisation::Loaded) {
        return E_UNEXPECTED;
    }
    // An engine a client has used already has its defaults and keeps the
    // values the client set.
    const HRESULT hr = call([&] { engine(); }, IID_IPersistStreamInit);
    if (SUCCEEDED(hr)) {
        initialisation_ = Initialisation::InitNew;
        dirty_ = false;
    }
    return hr;
}

HRESULT FillaheadObject::checkLoadAllowed() const {
    // InitNew and Load are the two ways to initialise; a second Load reloads.
    return initialisation_ == Initialisation::InitNew ? E_UNEXPECTED : S_OK;
}

void FillaheadObject::load(fillahead::PropertyBag& bag) {
    std::shared_ptr<fillahead::Fillahead> loaded = CreateEngine();
    loaded->ReadProperties(bag);
    attach(std::move(loaded));
    initialisation_ = Initialisation::Loaded;
    dirty_ = false;
}

HRESULT FillaheadObject::Load(IStream* stream) {
    if (const HRESULT allowed = checkLoadAllowed(); FAILED(allowed)) {
        return allowed;
    }
    return call(
        [&] {
            MemoryPropertyBag bag = ReadBagStream(OutParameter(stream));
            load(bag);
        },
        IID_IPersistStreamInit);
}

HRESULT FillaheadObject::Save(IStream* stream, BOOL clearDirty) {
    return call(
        [&] {
            IStream& to = OutParameter(stream);
            MemoryPropertyBag bag;
            engine().WriteProperties(bag);
            WriteBytes(to, EncodeBagStream(bag));
            if (clearDirty) {
                dirty_ = false;
            }
        },
        IID_IPersistStreamInit);
}

HRESULT FillaheadObject::GetSizeMax(ULARGE_INTEGER* size) {
    return call(
        [&] {
            ULARGE_INTEGER& out = OutParameter(size);
            MemoryPropertyBag bag;
            engine().WriteProperties(bag);
            out.QuadPart = EncodeBagStream(bag).size();
        },
        IID_IPersistStreamInit);
}

HRESULT FillaheadObject::Load(IPropertyBag* bag, IErrorLog* log) {
    if (const HRESULT allowed = checkLoadAllowed(); FAILED(allowed)) {
        return allowed;
    }
    return call(
        [&] {
            ComPropertyBag from(OutParameter(bag), log);
            load(from);
        },
        IID_IPersistPropertyBag);
}

HRESULT FillaheadObject::Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) {
    return call(
        [&] {
            ComPropertyBag to(OutParameter(bag), nullptr, saveAll != FALSE);
            engine().WriteProperties(to);
            if (clearDirty) {
                dirty_ = false;
            }
        },
        IID_IPersistPropertyBag);
}

} // namespace fillahead::library
