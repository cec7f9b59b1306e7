// The connection point of the events __Corvane: sinks advised on it receive every event of the
// object through IDispatch::Invoke, synchronously, with the arguments as VARIANTs by reference.
#include "ComObject.h"

#include "ComValues.h"
#include "Enumerators.h"

#include <algorithm>

namespace corvane::com {

EventPoint::~EventPoint()
{
    for (const Connection &connection : m_connections)
        connection.sink->Release();
}

HRESULT EventPoint::QueryInterface(REFIID iid, void **object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
        *object = static_cast<IConnectionPoint *>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG EventPoint::AddRef() { return m_owner.AddRef(); }
ULONG EventPoint::Release() { return m_owner.Release(); }

HRESULT EventPoint::GetConnectionInterface(IID *iid)
{
    if (!iid)
        return E_POINTER;
    *iid = DIID___Corvane;
    return S_OK;
}

HRESULT EventPoint::GetConnectionPointContainer(IConnectionPointContainer **container)
{
    if (!container)
        return E_POINTER;
    return m_owner.QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(container));
}

// A sink is taken as __Corvane, or as a plain IDispatch (a script's sink object).
HRESULT EventPoint::Advise(IUnknown *sink, DWORD *cookie)
{
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    IDispatch *dispatch = nullptr;
    if (FAILED(sink->QueryInterface(DIID___Corvane, reinterpret_cast<void **>(&dispatch)))
        && FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&dispatch))))
        return CONNECT_E_CANNOTCONNECT;
    try {
        m_connections.push_back({m_nextCookie, dispatch});
    } catch (...) {
        dispatch->Release();
        return E_OUTOFMEMORY;
    }
    *cookie = m_nextCookie++;
    return S_OK;
}

HRESULT EventPoint::Unadvise(DWORD cookie)
{
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (it->cookie == cookie) {
            IDispatch *sink = it->sink;
            m_connections.erase(it);
            sink->Release();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

HRESULT EventPoint::EnumConnections(IEnumConnections **connections)
{
    if (!connections)
        return E_POINTER;
    *connections = nullptr;
    try {
        std::vector<CONNECTDATA> items;
        for (const Connection &connection : m_connections)
            items.push_back({connection.sink, connection.cookie});
        *connections = new ConnectionEnumerator(std::move(items));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void EventPoint::fire(DISPID id, const std::vector<const Variant *> &arguments)
{
    // The sinks advised now, each held for its call, so that a handler may unadvise any of them.
    std::vector<Connection> sinks = m_connections;
    for (const Connection &connection : sinks)
        connection.sink->AddRef();

    const size_t count = arguments.size();
    std::vector<VARIANT> values(count);
    std::vector<VARIANTARG> parameters(count);
    for (const Connection &connection : sinks) {
        // Each sink sees the event's own arguments: what an earlier handler wrote is not passed on.
        for (size_t i = 0; i < count; ++i) {
            if (FAILED(toVariant(*arguments[i], &values[i])))
                VariantInit(&values[i]);
            // Arguments go in reverse order, the last one first.
            VARIANTARG &parameter = parameters[count - 1 - i];
            VariantInit(&parameter);
            V_VT(&parameter) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&parameter) = &values[i];
        }
        DISPPARAMS dispatchParameters = {parameters.data(), nullptr, static_cast<UINT>(count), 0};
        const bool stillAdvised = std::any_of(m_connections.begin(), m_connections.end(),
                                              [&](const Connection &c) { return c.cookie == connection.cookie; });
        if (stillAdvised) {
            connection.sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dispatchParameters, nullptr,
                                    nullptr, nullptr);
        }
        for (VARIANT &value : values)
            VariantClear(&value);
    }

    for (const Connection &connection : sinks)
        connection.sink->Release();
}

} // namespace corvane::com
