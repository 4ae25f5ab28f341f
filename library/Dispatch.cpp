#include "library/Dispatch.h"

#include "library/ComObject.h"
#include "library/Owners.h"
#include "platform/win32/WindowClass.h"

#include <memory>
#include <mutex>
#include <vector>

namespace fillahead::library {
namespace {

// What Invoke needs to know of one member to adapt its arguments: the
// declared type of each parameter a caller passes (the [retval] one is not
// passed). A parameter declared as a pointer to T reads VT_BYREF | T.
struct MemberInfo {
    MEMBERID id = DISPID_UNKNOWN;
    INVOKEKIND kind = INVOKE_FUNC;
    std::vector<VARTYPE> parameters;
};

struct InterfaceInfo {
    GUID guid{};
    ComPtr<ITypeInfo> info;
    std::vector<MemberInfo> members;

    const MemberInfo* find(MEMBERID id, WORD flags) const {
        for (const MemberInfo& member : members) {
            if (member.id == id && (member.kind & flags) != 0) {
                return &member;
            }
        }
        return nullptr;
    }
};

std::vector<MemberInfo> membersOf(ITypeInfo& info) {
    std::vector<MemberInfo> members;
    TYPEATTR* attributes = nullptr;
    if (FAILED(info.GetTypeAttr(&attributes))) {
        return members;
    }
    const WORD count = attributes->cFuncs;
    info.ReleaseTypeAttr(attributes);
    for (UINT index = 0; index < count; ++index) {
        FUNCDESC* function = nullptr;
        if (FAILED(info.GetFuncDesc(index, &function))) {
            continue;
        }
        MemberInfo member;
        member.id = function->memid;
        member.kind = function->invkind;
        for (SHORT p = 0; p < function->cParams; ++p) {
            const ELEMDESC& element = function->lprgelemdescParam[p];
            if ((element.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0) {
                continue;
            }
            const TYPEDESC& type = element.tdesc;
            member.parameters.push_back(type.vt == VT_PTR && type.lptdesc != nullptr
                                            ? static_cast<VARTYPE>(VT_BYREF | type.lptdesc->vt)
                                            : type.vt);
        }
        info.ReleaseFuncDesc(function);
        members.push_back(std::move(member));
    }
    return members;
}

// The embedded type library and the interfaces looked up in it so far.
// Shared by every apartment of the process, hence the lock.
class TypeInfoCache {
public:
    const InterfaceInfo* find(REFGUID guid) noexcept {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : entries_) {
            if (entry->guid == guid) {
                return entry.get();
            }
        }
        try {
            if (!library_ && FAILED(LoadOwnTypeLibrary(&library_))) {
                return nullptr;
            }
            auto entry = std::make_unique<InterfaceInfo>();
            entry->guid = guid;
            if (FAILED(library_->GetTypeInfoOfGuid(guid, &entry->info))) {
                return nullptr;
            }
            entry->members = membersOf(*entry->info.Get());
            entries_.push_back(std::move(entry));
            return entries_.back().get();
        } catch (...) {
            return nullptr;
        }
    }

    void clear() noexcept {
        const std::lock_guard<std::mutex> lock(mutex_);
        entries_.clear();
        library_.Reset();
    }

private:
    std::mutex mutex_;
    ComPtr<ITypeLib> library_;
    std::vector<std::unique_ptr<InterfaceInfo>> entries_;
};

TypeInfoCache& cache() {
    static TypeInfoCache instance;
    return instance;
}

// The parameter an argument stands for: named arguments say it, positional
// ones come last to first.
std::size_t parameterOf(const DISPPARAMS& params, UINT argument, std::size_t parameterCount) {
    if (argument < params.cNamedArgs) {
        const DISPID named = params.rgdispidNamedArgs[argument];
        return named == DISPID_PROPERTYPUT ? parameterCount - 1 : static_cast<std::size_t>(named);
    }
    return params.cArgs - 1 - argument;
}

const VARIANT& referenced(const VARIANT& value) {
    const VARIANT* v = &value;
    while (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v) != nullptr) {
        v = V_VARIANTREF(v);
    }
    return *v;
}

// The arguments as ITypeInfo::Invoke accepts them. Arguments that need no
// change are shallow copies of the caller's; converted ones point into
// `locals`, which are written back to the caller's variables afterwards.
class AdaptedArguments {
public:
    // False when nothing needs adapting (the caller's arguments go as they are).
    bool adapt(const MemberInfo& member, const DISPPARAMS& params, UINT* argumentError,
               HRESULT& failure) {
        bool needed = false;
        for (UINT k = 0; k < params.cArgs && !needed; ++k) {
            needed = needsAdapting(member, params, k);
        }
        if (!needed) {
            return false;
        }
        arguments_.assign(params.rgvarg, params.rgvarg + params.cArgs);
        locals_.resize(params.cArgs);
        writeBack_.assign(params.cArgs, nullptr);
        for (UINT k = 0; k < params.cArgs; ++k) {
            if (!needsAdapting(member, params, k)) {
                continue;
            }
            const VARTYPE declared =
                member.parameters[parameterOf(params, k, member.parameters.size())];
            const VARIANT& given = params.rgvarg[k];
            if ((declared & VT_BYREF) == 0) {
                arguments_[k] = referenced(given);
                continue;
            }
            const auto target = static_cast<VARTYPE>(declared & ~VT_BYREF);
            VARIANT* local = locals_[k].get();
            if (FAILED(VariantChangeType(local, const_cast<VARIANT*>(&referenced(given)), 0,
                                         target))) {
                if (argumentError != nullptr) {
                    *argumentError = k;
                }
                failure = DISP_E_TYPEMISMATCH;
                return true;
            }
            V_VT(&arguments_[k]) = declared;
            V_BYREF(&arguments_[k]) = &V_I4(local); // the value's storage, whatever its type
            if (V_VT(&given) == (VT_BYREF | VT_VARIANT)) {
                writeBack_[k] = V_VARIANTREF(&given);
            }
        }
        params_ = {arguments_.data(), params.rgdispidNamedArgs, params.cArgs, params.cNamedArgs};
        return true;
    }

    DISPPARAMS* params() { return &params_; }

    // Hands the converted values to the caller's variables.
    void writeBack() {
        for (std::size_t k = 0; k < writeBack_.size(); ++k) {
            if (writeBack_[k] != nullptr) {
                VariantClear(writeBack_[k]);
                locals_[k].releaseTo(writeBack_[k]);
            }
        }
    }

private:
    static bool needsAdapting(const MemberInfo& member, const DISPPARAMS& params, UINT k) {
        const std::size_t parameter = parameterOf(params, k, member.parameters.size());
        if (parameter >= member.parameters.size()) {
            return false;
        }
        const VARTYPE declared = member.parameters[parameter];
        const VARTYPE given = V_VT(&params.rgvarg[k]);
        if ((declared & VT_BYREF) != 0) {
            // A pointer to a plain type: accept the caller's variable or value.
            return declared != (VT_BYREF | VT_VARIANT) && given != declared &&
                   (given == (VT_BYREF | VT_VARIANT) || (given & VT_BYREF) == 0);
        }
        return declared != VT_VARIANT && given == (VT_BYREF | VT_VARIANT);
    }

    std::vector<VARIANT> arguments_;
    std::vector<UniqueVariant> locals_;
    std::vector<VARIANT*> writeBack_;
    DISPPARAMS params_{};
};

// ITypeInfo::Invoke reports a failing member as DISP_E_EXCEPTION with
// EXCEPINFO filled from IErrorInfo; make sure a caller always gets that.
HRESULT AsException(HRESULT hr, EXCEPINFO* exception) {
    if (SUCCEEDED(hr) || hr == DISP_E_EXCEPTION || HRESULT_FACILITY(hr) == FACILITY_DISPATCH ||
        exception == nullptr) {
        return hr;
    }
    *exception = EXCEPINFO{};
    exception->scode = hr;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        info->GetSource(&exception->bstrSource);
        info->GetDescription(&exception->bstrDescription);
        info->GetHelpFile(&exception->bstrHelpFile);
        info->GetHelpContext(&exception->dwHelpContext);
    }
    return DISP_E_EXCEPTION;
}

} // namespace

HRESULT LoadOwnTypeLibrary(ITypeLib** library) noexcept {
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(win32::ModuleInstance(), path, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) {
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    }
    return LoadTypeLibEx(path, REGKIND_NONE, library);
}

ITypeInfo* TypeInfoOf(REFGUID guid) noexcept {
    const InterfaceInfo* entry = cache().find(guid);
    return entry != nullptr ? entry->info.Get() : nullptr;
}

void ReleaseTypeInfo() noexcept {
    cache().clear();
}

HRESULT InvokeThroughTypeInfo(REFGUID iid, void* instance, DISPID member, REFIID riid, WORD flags,
                              DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                              UINT* argumentError) noexcept {
    if (riid != IID_NULL) {
        return DISP_E_UNKNOWNINTERFACE;
    }
    if (params == nullptr) {
        return E_INVALIDARG;
    }
    const InterfaceInfo* entry = cache().find(iid);
    if (entry == nullptr) {
        return TYPE_E_CANTLOADLIBRARY;
    }
    try {
        AdaptedArguments adapted;
        DISPPARAMS* passed = params;
        if (const MemberInfo* info = entry->find(member, flags);
            info != nullptr && params->cArgs > 0) {
            HRESULT failure = S_OK;
            if (adapted.adapt(*info, *params, argumentError, failure)) {
                if (FAILED(failure)) {
                    return failure;
                }
                passed = adapted.params();
            }
        }
        const HRESULT hr =
            entry->info->Invoke(instance, member, flags, passed, result, exception, argumentError);
        if (SUCCEEDED(hr) && passed != params) {
            adapted.writeBack();
        }
        // OLE_COLOR comes back as an unsigned Long, a type VBScript refuses
        // (error 458) and VB has not; hand it over as the Long VB shows
        // colours as (system colours are negative).
        if (SUCCEEDED(hr) && result != nullptr && V_VT(result) == VT_UI4) {
            V_VT(result) = VT_I4;
        }
        return AsException(hr, exception);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace fillahead::library
