#pragma once
// The About box: a small modal dialog with the icon, the name and version, and an OK button.

#include <gtk/gtk.h>

class CIconSet;

class CAboutDlg {
  public:
    static constexpr char kCaption[] = "关于 Downloader";

    CAboutDlg(GtkWindow* parent, const CIconSet& icons) : m_parent(parent), m_icons(icons) {}
    // Shows the box and returns once it is closed (GTK_RESPONSE_OK for "确定").
    int DoModal();

  private:
    GtkWindow* m_parent;
    const CIconSet& m_icons;
};
