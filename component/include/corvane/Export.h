// What the library exports: the public API carries CORVANE_EXPORT; everything else in the
// library is hidden.
#pragma once

#if defined(_WIN32)
#if defined(CORVANE_STATIC)
#define CORVANE_EXPORT
#elif defined(CORVANE_BUILDING_LIBRARY)
#define CORVANE_EXPORT __declspec(dllexport)
#else
#define CORVANE_EXPORT __declspec(dllimport)
#endif
#else
#define CORVANE_EXPORT __attribute__((visibility("default")))
#endif
