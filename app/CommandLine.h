#pragma once

// Answers --help and --version and ends the program; returns when neither was asked for. It
// runs before the window is made, so the answers need no display. The tool takes no other
// arguments: Qt takes its own (-platform, -style) when the window is made, and the rest are
// ignored.
void answerHelpOrVersion(int argc, char *argv[]);
