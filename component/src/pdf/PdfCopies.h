// Copies of a finished PDF's pages, for the built-in printer, which has no spooler to make them:
// an incremental update appended to the file adds, for every further copy, a page object for
// each page that shares its content and resources, and a new page list that holds them all.
// The document's own bytes stay as they are. Plain C++.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvane::pdf {

// The bytes to append to `pdf` so that it shows its pages `copies` times over, in order (one
// copy after the other). Nothing when copies is below 2. nullopt when the file is not one this
// understands: a classic cross-reference table, and one page list whose kids are the pages.
std::optional<std::string> repeatPages(std::string_view pdf, int copies);

} // namespace corvane::pdf
