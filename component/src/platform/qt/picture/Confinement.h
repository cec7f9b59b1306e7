// What corvane-picture takes away from itself before a metafile reaches the converting libraries,
// so that a metafile that takes one of them over gets no further than drawing: see Confinement.cpp.
#pragma once

namespace corvane::picture {

// The user without rights the program becomes when started as root.
inline constexpr unsigned nobodyId = 65534;
// Processor seconds the program may use (the component kills it after 10 s of wall-clock time).
inline constexpr unsigned cpuSeconds = 10;
// The processes and threads nobody may have at once, when the program became nobody: room for
// many pictures drawn at once, each with a few threads, and a bound on any that runs away.
inline constexpr unsigned nobodyProcesses = 1024;

// Confines this process for good; false (and the process must stop) when any step fails.
// Call it after the input has been read and before anything decodes it.
bool confine();

// The test hook behind the hidden option "--probe PATH": run after confine(), it tries what a
// taken-over decoder must never achieve (write PATH, append to PATH.existing, make the folder
// PATH.d, open sockets, ptrace, fork, run /bin/true) and writes one line per try and per limit on
// standard output. It only tries and reports: everything it tries, the confinement refuses.
void probe(const char *path);

} // namespace corvane::picture
