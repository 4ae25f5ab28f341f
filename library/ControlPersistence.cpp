// The control's persistence: IPersistStreamInit, IPersistPropertyBag and
// IPersistStorage over the portable lifecycle, and the forms its settings
// take in a stream and in a container's bag.
#include "library/ControlPersistence.h"

#include "library/ControlObject.h"
#include "library/ErrorInfo.h"
#include "library/FillaheadObject.h"
#include "library/Owners.h"
#include "library/StreamBytes.h"
#include "platform/PropertyBagStream.h"

#include <span>
#include <string>

namespace fillahead::library {
namespace {

// The stream of IPersistStorage's storage, as OLE objects name it.
constexpr wchar_t kContentsStream[] = L"Contents";

// The engine's key as a container's bag takes it.
std::wstring engineKey() {
    const TextView key(kEngineKey);
    return std::wstring(key.begin(), key.end());
}

// The engine's keys as a bag: a nested bag as it is, an object that persists
// itself as the keys it writes.
std::shared_ptr<MemoryPropertyBag> engineKeys(const Variant& value) {
    const std::shared_ptr<Object> object = value.toObject();
    if (auto bag = std::dynamic_pointer_cast<MemoryPropertyBag>(object)) {
        return bag;
    }
    if (auto persistable = std::dynamic_pointer_cast<Persistable>(object)) {
        auto bag = std::make_shared<MemoryPropertyBag>();
        persistable->WriteProperties(*bag);
        return bag;
    }
    throw AutomationError(error::TypeMismatch);
}

MemoryPropertyBag decodeEngine(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kBagStreamHeaderSize) {
        throw AutomationError(error::InvalidFileFormat,
                              u"The stored engine settings are damaged: they end early.");
    }
    const std::span<const std::uint8_t, kBagStreamHeaderSize> header(bytes.data(),
                                                                     kBagStreamHeaderSize);
    if (BagStreamPayloadLength(header) != bytes.size() - kBagStreamHeaderSize) {
        throw AutomationError(error::InvalidFileFormat,
                              u"The stored engine settings are damaged: their length is wrong.");
    }
    return DecodeBagStream(header, bytes.subspan(kBagStreamHeaderSize));
}

// The engine's stream bytes from what a bag gave back: an object, which
// saves itself into a stream, or the bytes themselves.
std::vector<std::uint8_t> engineBytes(const VARIANT& stored) {
    const VARIANT* v = &stored;
    while (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
        v = V_VARIANTREF(v);
    }
    UniqueVariant direct;
    if ((V_VT(v) & VT_BYREF) != 0) {
        ThrowIfFailed(VariantCopyInd(direct.get(), const_cast<VARIANT*>(v)));
        v = direct.get();
    }
    if (V_VT(v) == VT_UNKNOWN || V_VT(v) == VT_DISPATCH) {
        IUnknown* object = V_UNKNOWN(v);
        if (object == nullptr) {
            throw AutomationError(error::ObjectNotSet);
        }
        ComPtr<IStream> stream;
        ThrowIfFailed(CreateStreamOnHGlobal(nullptr, TRUE, &stream));
        ComPtr<IPersistStreamInit> persistInit;
        ComPtr<IPersistStream> persist;
        if (SUCCEEDED(object->QueryInterface(
                IID_IPersistStreamInit, reinterpret_cast<void**>(persistInit.GetAddressOf())))) {
            ThrowIfFailed(persistInit->Save(stream.Get(), FALSE));
        } else if (SUCCEEDED(object->QueryInterface(
                       IID_IPersistStream, reinterpret_cast<void**>(persist.GetAddressOf())))) {
            ThrowIfFailed(persist->Save(stream.Get(), FALSE));
        } else {
            throw AutomationError(error::TypeMismatch,
                                  u"The stored engine is an object that cannot save itself.");
        }
        return BytesOf(*stream.Get());
    }
    if (V_VT(v) == (VT_ARRAY | VT_UI1) && V_ARRAY(v) != nullptr) {
        SAFEARRAY* array = V_ARRAY(v);
        LONG lower = 0;
        LONG upper = -1;
        if (SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
            FAILED(SafeArrayGetUBound(array, 1, &upper))) {
            throw AutomationError(error::TypeMismatch);
        }
        const std::size_t size = upper < lower ? 0 : static_cast<std::size_t>(upper - lower) + 1;
        void* data = nullptr;
        ThrowIfFailed(SafeArrayAccessData(array, &data));
        const auto* first = static_cast<const std::uint8_t*>(data);
        std::vector<std::uint8_t> bytes(first, first + size);
        SafeArrayUnaccessData(array);
        return bytes;
    }
    throw AutomationError(error::TypeMismatch);
}

// A Fillahead object holding the engine's settings, for a bag to keep.
ComPtr<IUnknown> engineObject(std::span<const std::uint8_t> bytes) {
    ComPtr<IPersistStreamInit> engine;
    ThrowIfFailed(FillaheadObject::Create(IID_IPersistStreamInit,
                                          reinterpret_cast<void**>(engine.GetAddressOf())));
    ThrowIfFailed(engine->Load(StreamOver(bytes).Get()));
    ComPtr<IUnknown> object;
    ThrowIfFailed(engine.As(&object));
    return object;
}

UniqueVariant byteArray(std::span<const std::uint8_t> bytes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (array == nullptr) {
        throw AutomationError(error::OutOfMemory);
    }
    UniqueVariant value;
    V_VT(value.get()) = VT_ARRAY | VT_UI1;
    V_ARRAY(value.get()) = array;
    void* data = nullptr;
    ThrowIfFailed(SafeArrayAccessData(array, &data));
    std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(data));
    SafeArrayUnaccessData(array);
    return value;
}

} // namespace

std::vector<std::uint8_t> EncodeControlStream(const MemoryPropertyBag& written) {
    MemoryPropertyBag own;
    std::vector<std::shared_ptr<MemoryPropertyBag>> nested;
    for (const auto& [key, value] : written.Entries()) {
        if (value.isObject()) {
            nested.push_back(engineKeys(value));
            own.Set(key, true);
        } else {
            own.Set(key, value);
        }
    }
    std::vector<std::uint8_t> bytes = EncodeBagStream(own);
    for (const std::shared_ptr<MemoryPropertyBag>& bag : nested) {
        const std::vector<std::uint8_t> more = EncodeBagStream(*bag);
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
    return bytes;
}

MemoryPropertyBag ReadControlStream(IStream& stream) {
    const MemoryPropertyBag own = ReadBagStream(stream);
    MemoryPropertyBag settings;
    for (const auto& [key, value] : own.Entries()) {
        if (equalsIgnoringCase(key, kEngineKey)) {
            if (value.toBoolean()) {
                settings.Set(key, Variant(std::shared_ptr<Object>(
                                      std::make_shared<MemoryPropertyBag>(ReadBagStream(stream)))));
            }
        } else {
            settings.Set(key, value);
        }
    }
    return settings;
}

Variant ControlPropertyBag::ReadProperty(TextView key, const Variant& defaultValue) {
    if (!equalsIgnoringCase(key, kEngineKey)) {
        return plain_.ReadProperty(key, defaultValue);
    }
    UniqueVariant stored;
    const HRESULT hr = bag_.Read(engineKey().c_str(), stored.get(), log_);
    if (hr == E_INVALIDARG) {
        return defaultValue;
    }
    ThrowIfFailed(hr);
    return Variant(std::shared_ptr<Object>(
        std::make_shared<MemoryPropertyBag>(decodeEngine(engineBytes(*stored.get())))));
}

void ControlPropertyBag::WriteProperty(TextView key, const Variant& value,
                                       const std::optional<Variant>& defaultValue) {
    if (!equalsIgnoringCase(key, kEngineKey) || !value.isObject()) {
        plain_.WriteProperty(key, value, defaultValue);
        return;
    }
    if (!value.toObject()) {
        // No engine: the default, nothing is written.
        return;
    }
    const std::vector<std::uint8_t> bytes = EncodeBagStream(*engineKeys(value));
    UniqueVariant object;
    V_VT(object.get()) = VT_UNKNOWN;
    V_UNKNOWN(object.get()) = engineObject(bytes).Detach();
    if (SUCCEEDED(bag_.Write(engineKey().c_str(), object.get()))) {
        return;
    }
    // A bag that keeps no objects keeps the engine's bytes.
    UniqueVariant array = byteArray(bytes);
    ThrowIfFailed(bag_.Write(engineKey().c_str(), array.get()));
}

// --- FillaheadControlObject: IPersist* ---

HRESULT FillaheadControlObject::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) {
        return E_POINTER;
    }
    *clsid = CLSID_FillaheadControl;
    return S_OK;
}

HRESULT FillaheadControlObject::IsDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

HRESULT FillaheadControlObject::checkNotInitialised() const {
    return initialisation_ == Initialisation::None ? S_OK : E_UNEXPECTED;
}

void FillaheadControlObject::initialised() {
    // Tracking waits for a site; a control sited before its settings starts
    // now, at its design-time size in a designer.
    followContainer();
    resized();
}

void FillaheadControlObject::loadStream(IStream& stream) {
    MemoryPropertyBag settings = ReadControlStream(stream);
    control_->UserControl_ReadProperties(settings);
    initialisation_ = Initialisation::Loaded;
    dirty_ = false;
    initialised();
}

void FillaheadControlObject::saveStream(IStream& stream) {
    MemoryPropertyBag written;
    control_->UserControl_WriteProperties(written);
    WriteBytes(stream, EncodeControlStream(written));
}

HRESULT FillaheadControlObject::InitNew() {
    if (const HRESULT allowed = checkNotInitialised(); FAILED(allowed)) {
        return allowed;
    }
    return call(
        [&] {
            control_->UserControl_InitProperties();
            initialisation_ = Initialisation::InitNew;
            dirty_ = false;
            initialised();
        },
        IID_IPersistStreamInit);
}

HRESULT FillaheadControlObject::Load(IStream* stream) {
    if (const HRESULT allowed = checkNotInitialised(); FAILED(allowed)) {
        return allowed;
    }
    return call([&] { loadStream(OutParameter(stream)); }, IID_IPersistStreamInit);
}

HRESULT FillaheadControlObject::Save(IStream* stream, BOOL clearDirty) {
    return call(
        [&] {
            saveStream(OutParameter(stream));
            if (clearDirty) {
                dirty_ = false;
            }
        },
        IID_IPersistStreamInit);
}

HRESULT FillaheadControlObject::GetSizeMax(ULARGE_INTEGER* size) {
    return call(
        [&] {
            ULARGE_INTEGER& out = OutParameter(size);
            MemoryPropertyBag written;
            control_->UserControl_WriteProperties(written);
            out.QuadPart = EncodeControlStream(written).size();
        },
        IID_IPersistStreamInit);
}

HRESULT FillaheadControlObject::Load(IPropertyBag* bag, IErrorLog* log) {
    if (const HRESULT allowed = checkNotInitialised(); FAILED(allowed)) {
        return allowed;
    }
    return call(
        [&] {
            ControlPropertyBag from(OutParameter(bag), log);
            control_->UserControl_ReadProperties(from);
            initialisation_ = Initialisation::Loaded;
            dirty_ = false;
            initialised();
        },
        IID_IPersistPropertyBag);
}

HRESULT FillaheadControlObject::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    return call(
        [&] {
            // Written in memory first, so that a bag that fails is reported
            // rather than swallowed with the control's own steps.
            MemoryPropertyBag written;
            control_->UserControl_WriteProperties(written);
            ControlPropertyBag to(OutParameter(bag), nullptr);
            for (const auto& [key, value] : written.Entries()) {
                to.WriteProperty(key, value);
            }
            if (clearDirty) {
                dirty_ = false;
            }
        },
        IID_IPersistPropertyBag);
}

HRESULT FillaheadControlObject::InitNew(IStorage* storage) {
    if (storage == nullptr) {
        return E_POINTER;
    }
    if (initialisation_ != Initialisation::None) {
        return CO_E_ALREADYINITIALIZED;
    }
    const HRESULT hr = InitNew();
    if (SUCCEEDED(hr)) {
        storage_ = storage;
    }
    return hr;
}

HRESULT FillaheadControlObject::Load(IStorage* storage) {
    if (storage == nullptr) {
        return E_POINTER;
    }
    if (initialisation_ != Initialisation::None) {
        return CO_E_ALREADYINITIALIZED;
    }
    return call(
        [&] {
            ComPtr<IStream> stream;
            ThrowIfFailed(storage->OpenStream(kContentsStream, nullptr,
                                              STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream));
            loadStream(*stream.Get());
            storage_ = storage;
        },
        IID_IPersistStorage);
}

HRESULT FillaheadControlObject::Save(IStorage* storage, BOOL) {
    return call(
        [&] {
            IStorage& to = OutParameter(storage);
            ComPtr<IStream> stream;
            ThrowIfFailed(to.CreateStream(
                kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream));
            saveStream(*stream.Get());
        },
        IID_IPersistStorage);
}

HRESULT FillaheadControlObject::SaveCompleted(IStorage* storage) {
    if (storage != nullptr) {
        storage_ = storage;
    }
    dirty_ = false;
    return S_OK;
}

HRESULT FillaheadControlObject::HandsOffStorage() {
    storage_.Reset();
    return S_OK;
}

} // namespace fillahead::library
