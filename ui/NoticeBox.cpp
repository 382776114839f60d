#include "ui/NoticeBox.h"

#include "base/ResString.h"
#include "base/StringTable.h"

namespace {
int RunBox(GtkWidget* parent, const std::string& text, const std::string& caption,
           GtkMessageType type, GtkButtonsType buttons) {
    GtkWidget* box = gtk_message_dialog_new(parent ? GTK_WINDOW(parent) : nullptr, GTK_DIALOG_MODAL,
                                            type, buttons, "%s", text.c_str());
    gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
    // Return, Space and Esc all answer it; the focus starts on OK.
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    gtk_widget_grab_focus(gtk_dialog_get_widget_for_response(GTK_DIALOG(box), GTK_RESPONSE_OK));
    gtk_window_present(GTK_WINDOW(box));
    const int response = gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    return response;
}
}  // namespace

void ShowNoticeBox(GtkWidget* parent, const std::string& text, const std::string& caption) {
    RunBox(parent, text, caption, GTK_MESSAGE_WARNING, GTK_BUTTONS_OK);
}

bool AskOkCancelBox(GtkWidget* parent, const std::string& text, const std::string& caption) {
    return RunBox(parent, text, caption, GTK_MESSAGE_QUESTION, GTK_BUTTONS_OK_CANCEL) ==
           GTK_RESPONSE_OK;
}

std::string OpenFailedText(const std::string& installerPath) {
    // "AppTmpPath" ends in a separator and the file name starts with one: both are folded.
    std::string folder = installerPath.substr(0, installerPath.find_last_of('/'));
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::string name = installerPath.substr(installerPath.find_last_of('/') + 1);
    return LoadResString(IDS_OPEN_FAILED) + "\n文件夹：" + folder + "\n文件名：" + name;
}
