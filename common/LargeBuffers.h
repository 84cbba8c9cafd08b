#pragma once

#include <QtGlobal>

// An upload's text is one buffer of up to many MiB, written once as it is decoded. These keep the
// cost of its memory to what writing it needs.

// Gives every large allocation a mapping of its own, from the program's start. Such a buffer then
// grows without being copied and goes back to the system when it is dropped. The C library would
// otherwise, once the first large buffer was freed, serve the next ones from its heap, where each
// doubling of the text copies it into fresh pages.
void keepLargeBuffersApart();

// Asks the system to back a large buffer that is about to be written with huge pages. Written for
// the first time, it would otherwise cost a page fault for every 4 KiB, about a fifth of the CPU
// time of receiving an upload at full speed. Only a hint: where the system declines or has no such
// pages, the buffer is as it was.
void adviseHugePages(void *buffer, qsizetype bytes);

// Has the system provide the pages of a range of a buffer now, in one call, rather than one page
// fault at a time as they are first written. Only a hint as well.
void providePages(void *from, qsizetype bytes);
