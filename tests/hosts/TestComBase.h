// The IUnknown of the test host's COM objects: a reference count and a
// QueryInterface over what each class finds for an interface identifier.
// The host's objects live on the test's one thread.
#pragma once

#include <windows.h>

#include <unknwn.h>

namespace fillahead::hosts {

template <typename... Interfaces>
class TestComBase : public Interfaces... {
public:
    TestComBase(const TestComBase&) = delete;
    TestComBase& operator=(const TestComBase&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = Find(iid);
        if (*out == nullptr) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

protected:
    TestComBase() = default;
    virtual ~TestComBase() = default;
    // The interface for iid, or null; IUnknown included.
    virtual void* Find(REFIID iid) = 0;

private:
    ULONG references_ = 1;
};

} // namespace fillahead::hosts
