#pragma once
// The window's modal message box with an OK button, run on the window thread.

#include <gtk/gtk.h>

#include <string>

void ShowNoticeBox(GtkWidget* parent, const std::string& text, const std::string& caption);
// The same with OK and Cancel; true for OK (closing the box is Cancel).
bool AskOkCancelBox(GtkWidget* parent, const std::string& text, const std::string& caption);

// What the box says when the installer could not be opened: where the user finds it.
std::string OpenFailedText(const std::string& installerPath);
