#include "ui/AboutDlg.h"

#include "ui/IconSet.h"

namespace {

GtkWidget* NoPrefixLabel(const char* text) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    return label;
}

}  // namespace

int CAboutDlg::DoModal() {
    // Not destroyed with its parent: the box is always destroyed here, after its loop.
    GtkWidget* dialog = gtk_dialog_new_with_buttons(kCaption, m_parent, GTK_DIALOG_MODAL, "确定",
                                                    GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(dialog), TRUE);

    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 14);
    gtk_container_set_border_width(GTK_CONTAINER(row), 14);
    if (GdkPixbuf* icon = m_icons.Nearest(32)) {
        gtk_window_set_icon(GTK_WINDOW(dialog), icon);
        GtkWidget* image = gtk_image_new_from_pixbuf(icon);
        gtk_widget_set_valign(image, GTK_ALIGN_START);
        gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
    }
    GtkWidget* lines = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_box_pack_start(GTK_BOX(lines), NoPrefixLabel("Downloader，1.0 版"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(lines), NoPrefixLabel("下载并启动最新的安装程序"), FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), lines, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row, TRUE, TRUE,
                       0);
    gtk_widget_show_all(dialog);
    // Return, Space and Esc all close it; the focus starts on OK.
    gtk_widget_grab_focus(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK));

    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response;
}
