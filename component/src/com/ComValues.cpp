#include "ComValues.h"

#include "CorvaneCOM_h.h"

#include <new>

namespace corvane::com {

UString fromBstr(BSTR text)
{
    return text ? UString(reinterpret_cast<const char16_t *>(text), SysStringLen(text)) : UString();
}

BSTR toBstr(const UString &text)
{
    return SysAllocStringLen(reinterpret_cast<const OLECHAR *>(text.data()), static_cast<UINT>(text.size()));
}

HRESULT toVariant(const Variant &value, VARIANT *out)
{
    VariantInit(out);
    switch (value.type()) {
    case Variant::Type::Empty: return S_OK;
    case Variant::Type::Integer:
        V_VT(out) = VT_I2;
        V_I2(out) = value.toInteger();
        return S_OK;
    case Variant::Type::Long:
        V_VT(out) = VT_I4;
        V_I4(out) = value.toLong();
        return S_OK;
    case Variant::Type::Boolean:
        V_VT(out) = VT_BOOL;
        V_BOOL(out) = value.toBoolean() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    case Variant::Type::Double:
        V_VT(out) = VT_R8;
        V_R8(out) = value.toDouble();
        return S_OK;
    case Variant::Type::String: {
        BSTR text = toBstr(value.toString());
        if (!text)
            return E_OUTOFMEMORY;
        V_VT(out) = VT_BSTR;
        V_BSTR(out) = text;
        return S_OK;
    }
    case Variant::Type::Array: {
        const auto &elements = value.elements();
        SAFEARRAY *array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(elements.size()));
        if (!array)
            return E_OUTOFMEMORY;
        for (LONG i = 0; i < static_cast<LONG>(elements.size()); ++i) {
            VARIANT element;
            HRESULT hr = toVariant(elements[static_cast<size_t>(i)], &element);
            if (SUCCEEDED(hr))
                hr = SafeArrayPutElement(array, &i, &element);
            VariantClear(&element);
            if (FAILED(hr)) {
                SafeArrayDestroy(array);
                return hr;
            }
        }
        V_VT(out) = VT_ARRAY | VT_VARIANT;
        V_ARRAY(out) = array;
        return S_OK;
    }
    }
    return E_UNEXPECTED;
}

HRESULT resultOf(int32_t number)
{
    if (number < 0)
        return static_cast<HRESULT>(number);
    if (number >= 1 && number <= 0xFFFF)
        return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number));
    return E_FAIL;
}

HRESULT fail(const RuntimeError &error)
{
    ICreateErrorInfo *create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        create->SetGUID(IID__Corvane);
        create->SetSource(const_cast<LPOLESTR>(L"CorvaneCOM.Corvane"));
        BSTR description = toBstr(error.description());
        create->SetDescription(description);
        SysFreeString(description);
        IErrorInfo *info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return resultOf(error.number());
}

HRESULT failWithCurrent()
{
    try {
        return fail(currentRuntimeError());
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace corvane::com
