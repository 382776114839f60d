#pragma once
// Developer traces of the moments a start is judged by: when start-up begins and the first
// worker starts, when the window first draws, when the page is ready, and when the window
// first draws the ready page. Each line carries the
// wall-clock time in epoch seconds ("page ready at epoch 1700000000.123"), so that it can be
// set beside another process's clock or a server's log (bench/launch/launch-figure does).

#include <gtk/gtk.h>

// Traces "<what> at epoch <seconds>" now.
void TraceMoment(const char* what);
// Traces "<what> at epoch <seconds>" once, after widget's next drawing.
void TraceNextDraw(GtkWidget* widget, const char* what);
