#pragma once

// Tells assistive technology what Qt's own accessible interfaces leave unsaid: that the window is
// a frame (Qt gives a plain widget the role of a client area, which AT-SPI reports as a filler),
// and what a labelled combo box is for. On Linux Qt names a combo box by its value ("COM 3") and
// leaves its label to a relation; here it is named by its label ("COM Port") as other controls
// are, keeps that relation and tells its value as the value.
void installAccessibleInterfaces();
