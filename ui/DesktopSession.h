#pragma once
// Connects the program to the user's desktop: chooses the display system, names the program
// after its desktop entry, and opens the display. False when there is no display to open.

bool OpenDesktopSession();
