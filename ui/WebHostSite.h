#pragma once
// What the web host asks of the window that owns it: the four methods the page reaches as
// window.external, and the host's own events. All run on the window thread.

#include <string>

class CWebHostSite {
  public:
    virtual ~CWebHostSite() = default;

    // window.external._velmora_OnExit()
    virtual void OnExit() = 0;
    // window.external._velmora_GetAppParams(name): the live value; answered synchronously.
    virtual std::string GetAppParams(const std::string& name) = 0;
    // window.external._velmora_MoveTitleBar(x, y): the page's title strip was pressed.
    virtual void MoveTitleBar(int x, int y) = 0;
    // window.external._velmora_Retry()
    virtual void Retry() = 0;

    // The page's scripts have run, so its functions can be called (true: at the document's
    // DOMContentLoaded, or when the load finishes if that comes first), or the page is gone
    // (false: a new load began or its process ended).
    virtual void OnPageReadyChanged(bool ready) = 0;
    // A command of the window menu was chosen.
    virtual void OnSysCommand(unsigned nID) = 0;
    // The view was made again: the host has put the new one where the old one was, and what
    // watches the view moves to it.
    virtual void OnViewReplaced() = 0;
    // The page's process runs without the sandbox, for this reason (told once).
    virtual void OnUnsandboxed(const std::string& why) = 0;
};
