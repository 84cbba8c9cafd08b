#pragma once

#include <QtGlobal>

// An upload's text is one buffer of up to many MiB, written once as it is decoded. These keep the
// cost of its memory to what writing it needs.

// Gives every allocation of 8 MiB or more a mapping of its own, from the program's start, and
// keeps smaller ones in the heap. A text of a few MiB, as large as real uploads come, then reuses
// memory that an earlier upload has touched, which costs far less than fresh pages. A very large
// text grows without being copied, with huge pages, and goes back to the system when it is
// dropped. The C library would otherwise move its threshold with the sizes it has seen, so that
// the same upload cost differently from one time to the next.
void keepLargeBuffersApart();

// Asks the system to back a large buffer that is about to be written with huge pages. Written for
// the first time, it would otherwise cost a page fault for every 4 KiB, about a fifth of the CPU
// time of receiving an upload at full speed. Only a hint: where the system declines or has no such
// pages, the buffer is as it was.
void adviseHugePages(void *buffer, qsizetype bytes);

// Has the system provide the pages of a range of a buffer now, in one call, rather than one page
// fault at a time as they are first written. Only a hint as well.
void providePages(void *from, qsizetype bytes);
