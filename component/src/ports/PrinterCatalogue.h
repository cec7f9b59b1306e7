// The printers a job can go to: the installed ones in order, the current one, and the device
// settings the next job on it is opened with. Every operation may raise RuntimeError.
#pragma once

#include <corvane/UString.h>

#include <cstdint>

namespace corvane {

class PrinterCatalogue {
public:
    virtual ~PrinterCatalogue() = default;

    // The Printers collection: installed printers in order; one is current.
    virtual int PrinterCount() = 0;
    virtual UString DeviceName(int index) = 0;
    virtual void selectPrinter(int index) = 0;
    virtual UString currentDeviceName() const = 0;
    // Makes a printer the list could not show the current one: one of a print server that did
    // not answer when the list was made. False, and nothing changes, when the list is whole.
    virtual bool selectUnlisted(const UString &name)
    {
        (void)name;
        return false;
    }

    // Device settings for the next job, values of the type library's enumerations.
    virtual void setOrientation(int16_t value) = 0;
    virtual void setPaperSize(int16_t value) = 0;
    virtual void setPaperBin(int16_t value) = 0;
    virtual void setPrintQuality(int16_t value) = 0;
    virtual void setCopies(int16_t value) = 0;
};

} // namespace corvane
