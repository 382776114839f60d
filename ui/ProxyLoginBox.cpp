#include "ui/ProxyLoginBox.h"

#include "base/Format.h"
#include "base/ResString.h"
#include "base/StringTable.h"

namespace {
GtkWidget* AddField(GtkGrid* grid, int row, int label, bool secret) {
    GtkWidget* name = gtk_label_new(LoadResString(label).c_str());
    gtk_widget_set_halign(name, GTK_ALIGN_END);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_max_length(GTK_ENTRY(entry), CProxyCredentials::kMaxBytes);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    if (secret) {
        gtk_entry_set_visibility(GTK_ENTRY(entry), FALSE);
        gtk_entry_set_input_purpose(GTK_ENTRY(entry), GTK_INPUT_PURPOSE_PASSWORD);
    }
    gtk_label_set_mnemonic_widget(GTK_LABEL(name), entry);
    gtk_grid_attach(grid, name, 0, row, 1, 1);
    gtk_grid_attach(grid, entry, 1, row, 1, 1);
    return entry;
}
}  // namespace

bool AskProxyLoginBox(GtkWidget* parent, const std::string& proxyName, CProxyCredentials& login) {
    // It goes with the window: closing the window while it is up answers as Cancel does.
    GtkWidget* box = gtk_dialog_new_with_buttons(
        LoadResString(IDS_PROXY_LOGIN).c_str(), parent ? GTK_WINDOW(parent) : nullptr,
        static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        LoadResString(IDS_PROXY_CANCEL).c_str(), GTK_RESPONSE_CANCEL,
        LoadResString(IDS_PROXY_OK).c_str(), GTK_RESPONSE_OK, nullptr);
    gtk_window_set_resizable(GTK_WINDOW(box), FALSE);
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 8);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 8);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 12);
    const std::string ask = Format(LoadResString(IDS_PROXY_LOGIN_ASK).c_str(), proxyName.c_str());
    GtkWidget* text = gtk_label_new(ask.c_str());
    gtk_label_set_xalign(GTK_LABEL(text), 0);
    gtk_grid_attach(GTK_GRID(grid), text, 0, 0, 2, 1);
    GtkWidget* user = AddField(GTK_GRID(grid), 1, IDS_PROXY_USER, false);
    GtkWidget* password = AddField(GTK_GRID(grid), 2, IDS_PROXY_PASSWORD, true);
    gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(box))), grid);
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    gtk_widget_show_all(box);
    gtk_widget_grab_focus(user);
    gtk_window_present(GTK_WINDOW(box));

    // Held, so that a box that goes with its window is still there to be let go of here.
    g_object_ref(box);
    const int response = gtk_dialog_run(GTK_DIALOG(box));
    const bool ok =
        response == GTK_RESPONSE_OK &&
        login.Set(gtk_entry_get_text(GTK_ENTRY(user)), gtk_entry_get_text(GTK_ENTRY(password)));
    // GTK wipes an entry's text when it lets go of it: the password leaves no copy behind.
    gtk_widget_destroy(box);
    g_object_unref(box);
    return ok;
}
