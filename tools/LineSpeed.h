#pragma once

// The speed in baud that a terminal's input was last set to, however it was set: the classic way,
// one of the fixed speeds (B19200), or the newer way, which gives the number itself (BOTHER and
// 19200, as Wine sets it). 0 where it cannot be read.
int inputSpeedOf(int terminal);
