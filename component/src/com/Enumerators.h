// The enumerators of connection points and connections: a snapshot taken when made, each item
// held (AddRef'd) for the enumerator's life and handed out with a reference of its own.
#pragma once

#include "Server.h"

#include <ocidl.h>

#include <atomic>
#include <vector>

namespace corvane::com {

inline IUnknown *unknownOf(IConnectionPoint *point) { return point; }
inline IUnknown *unknownOf(const CONNECTDATA &connection) { return connection.pUnk; }

template <typename Interface, typename Item, const IID *Iid> class Enumerator final : public Interface {
public:
    explicit Enumerator(std::vector<Item> items, size_t position = 0)
        : m_items(std::move(items))
        , m_position(position)
    {
        for (const Item &item : m_items)
            unknownOf(item)->AddRef();
        lockModule();
    }
    ~Enumerator()
    {
        for (const Item &item : m_items)
            unknownOf(item)->Release();
        unlockModule();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, *Iid)) {
            *object = static_cast<Interface *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item *items, ULONG *fetched) override
    {
        if (!items || (count > 1 && !fetched))
            return E_POINTER;
        ULONG done = 0;
        for (; done < count && m_position < m_items.size(); ++done, ++m_position) {
            items[done] = m_items[m_position];
            unknownOf(items[done])->AddRef();
        }
        if (fetched)
            *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        const size_t left = m_items.size() - m_position;
        m_position += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        m_position = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(Interface **clone) override
    {
        if (!clone)
            return E_POINTER;
        *clone = nullptr;
        try {
            *clone = new Enumerator(m_items, m_position);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return S_OK;
    }

private:
    std::atomic<ULONG> m_references{1};
    std::vector<Item> m_items;
    size_t m_position;
};

using ConnectionPointEnumerator = Enumerator<IEnumConnectionPoints, IConnectionPoint *, &IID_IEnumConnectionPoints>;
using ConnectionEnumerator = Enumerator<IEnumConnections, CONNECTDATA, &IID_IEnumConnections>;

} // namespace corvane::com
