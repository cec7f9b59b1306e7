// The plain-text document of PrintDoc: the body text flow and the page frame, drawn on the
// thread's printer canvas. It reads the object's live property record and raises PrintProgress
// on the object's events.
#pragma once

#include "core/EventFanOut.h"
#include "core/Properties.h"
#include "ports/PageCanvas.h"
#include "ports/Platform.h"

namespace corvane {

class TextDocument {
public:
    TextDocument(Properties &properties, EventFanOut &events, Platform &platform, PageCanvas &surface);

    // Lays DocText out on pages, framing each, and ends the job with EndDoc. Raises the first
    // run-time error it meets; the pen width it changed is then in savedDrawWidth().
    void PrintBodyText();

    // Starts the page (a new one when startNewPage), raises PrintProgress, draws the
    // decorations and leaves the body font and position set.
    void DrawPageFrame(bool startNewPage);

    // The pen width found when the flow started, once it has changed it.
    bool changedDrawWidth() const { return m_changedDrawWidth; }
    int16_t savedDrawWidth() const { return m_savedDrawWidth; }

private:
    void applyFont(const UString &settings);
    void setFixedFont();           // Arial 10, no bold or italic; underline stays
    UString dateTimeStamp() const; // the short date, three blanks, the short time
    void lineBreak();
    void placeFirstLine(); // keeps the first line of a page on the printable area
    void tab();

    Properties &m_properties;
    EventFanOut &m_events;
    Platform &m_platform;
    PageCanvas &m_surface;
    int32_t m_lineSpacing = 1;
    int16_t m_savedDrawWidth = 1;
    bool m_changedDrawWidth = false;
};

} // namespace corvane
