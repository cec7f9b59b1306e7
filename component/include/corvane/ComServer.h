// The in-process server contract of libcorvane.so: a class factory for the class id, the
// unload test, and self-registration under the programmatic identifier "CorvaneCOM.Corvane".
#pragma once

#include "Export.h"

#include <cstdint>
#include <string>

namespace corvane {

struct Guid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
    bool operator==(const Guid &) const = default;
};

using HResult = int32_t;
constexpr HResult S_Ok = 0;
constexpr HResult S_False = 1;
constexpr HResult E_NoInterface = static_cast<HResult>(0x80004002u);
constexpr HResult E_OutOfMemory = static_cast<HResult>(0x8007000Eu);
constexpr HResult E_Pointer = static_cast<HResult>(0x80004003u);
constexpr HResult Class_E_NoAggregation = static_cast<HResult>(0x80040110u);
constexpr HResult Class_E_ClassNotAvailable = static_cast<HResult>(0x80040111u);
constexpr HResult SelfReg_E_Class = static_cast<HResult>(0x80040201u);

// {6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E10}
constexpr Guid CLSID_Corvane = {0x6C0F5A2E, 0x3B9D, 0x4E71, {0x9A, 0x44, 0x2F, 0x1C, 0x7D, 0x8B, 0x5E, 0x10}};
// {6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E11}: the default interface _Corvane
constexpr Guid IID__Corvane = {0x6C0F5A2E, 0x3B9D, 0x4E71, {0x9A, 0x44, 0x2F, 0x1C, 0x7D, 0x8B, 0x5E, 0x11}};
// {6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E12}: the event interface __Corvane
constexpr Guid DIID___Corvane = {0x6C0F5A2E, 0x3B9D, 0x4E71, {0x9A, 0x44, 0x2F, 0x1C, 0x7D, 0x8B, 0x5E, 0x12}};
// {6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E13}: the type library CorvaneCOM
constexpr Guid LIBID_CorvaneCOM = {0x6C0F5A2E, 0x3B9D, 0x4E71, {0x9A, 0x44, 0x2F, 0x1C, 0x7D, 0x8B, 0x5E, 0x13}};
constexpr Guid IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr Guid IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr const char *kProgId = "CorvaneCOM.Corvane";

// "{6C0F5A2E-3B9D-4E71-9A44-2F1C7D8B5E10}"
CORVANE_EXPORT std::string guidText(const Guid &guid);

// The class factory handed out by DllGetClassObject. CreateInstance with IID__Corvane or
// IID_IDispatch gives a QObject* (the automation object); the caller owns it.
class ClassFactory {
public:
    virtual HResult CreateInstance(void *outer, const Guid *iid, void **object) = 0;
    virtual HResult LockServer(bool lock) = 0;

protected:
    ~ClassFactory() = default;
};

} // namespace corvane

extern "C" {
CORVANE_EXPORT corvane::HResult DllGetClassObject(const corvane::Guid *clsid, const corvane::Guid *iid, void **object);
CORVANE_EXPORT corvane::HResult DllCanUnloadNow();
CORVANE_EXPORT corvane::HResult DllRegisterServer();
CORVANE_EXPORT corvane::HResult DllUnregisterServer();
}
