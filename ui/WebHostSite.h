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

    // The page finished loading (true) or a new load began (false).
    virtual void OnPageReadyChanged(bool ready) = 0;
    // A load has ended, whether the page came up or not.
    virtual void OnPageLoadEnded() = 0;
    // A command of the window menu was chosen.
    virtual void OnSysCommand(unsigned nID) = 0;
};
