#pragma once
// The program's string table, by resource id. Texts with "%s" are formats filled with one
// string argument (a path or an address), never with text from outside as the format.

enum StringId : int {
    IDS_ABOUTBOX = 101,             // About entry of the window menu
    IDS_PRODUCT_KEY = 103,          // product key reported to the service
    IDS_CHANNEL = 104,              // distribution channel
    IDS_NETWORK_FAILED = 107,       // no network
    IDS_TRANSFER_FAILED = 108,      // a transfer ended without a complete file
    IDS_NOTICE_CAPTION = 109,       // caption of the network failure box
    IDS_BAD_URL = 201,              // the download address is not one the client serves
    IDS_BAD_DIGEST = 202,           // the expected digest is malformed
    IDS_FILE_IN_USE = 203,          // %s: the installer's path
    IDS_CONNECT_FAILED = 204,       // the server gave no answer
    IDS_FILE_NOT_FOUND = 205,       // %s: the download address
    IDS_DISK_FULL = 206,            // %s: what remains to download, e.g. "24.0 MB"
    IDS_OPEN_FAILED = 207,          // no program could open the installer; its place follows
    IDS_METERED_ASK = 208,          // %s: what remains to download, e.g. "24.0 MB"
    IDS_UPDATE_CHECK_FAILED = 209,  // the update information was refused (not its age)
    IDS_UPDATE_EXPIRED = 210,       // validly signed update information that has expired
    IDS_PROXY_REFUSED = 220,        // the proxy refused the tunnel or its login
    IDS_PROXY_LOGIN = 221,          // caption of the proxy's login question
    IDS_PROXY_LOGIN_ASK = 222,      // %s: the proxy's "host:port"
    IDS_PROXY_USER = 223,           // label of the user name field
    IDS_PROXY_PASSWORD = 224,       // label of the password field
    IDS_PROXY_OK = 225,             // the question's buttons
    IDS_PROXY_CANCEL = 226,
    IDS_UNTRUSTED_CERTIFICATE = 230,  // a secure server's certificate is not trusted
    IDS_INSTALLER_NOT_FOUND = 231,    // no address has the installer (404, 410)
    IDS_SERVER_BUSY = 232,            // the server stayed busy (429, 503) through every try
    IDS_WEB_PAGE = 233,               // a web page came instead of the installer or the reply
    IDS_PORTAL_SIGN_IN = 234,         // the same, while the network asks to sign in first
};

struct ResStringEntry {
    int id;
    const char* text;
};

inline constexpr ResStringEntry kStringTable[] = {
    {IDS_ABOUTBOX, "关于 Downloader(&A)..."},
    {IDS_PRODUCT_KEY, "velmora"},
    {IDS_CHANNEL, "general"},
    {IDS_NETWORK_FAILED, "网络连接失败！请检查您的网络配置后重试！"},
    {IDS_TRANSFER_FAILED, "下载失败，请检查网络后点击重试！"},
    {IDS_NOTICE_CAPTION, "提示"},
    {IDS_BAD_URL, "下载链接有错！"},
    {IDS_BAD_DIGEST, "文件校验值有错！"},
    {IDS_FILE_IN_USE, "写文件%s错误！\n文件正在使用中，请先关闭程序！"},
    {IDS_CONNECT_FAILED, "连接服务器失败！"},
    {IDS_FILE_NOT_FOUND, "%s:file not exist！"},
    {IDS_DISK_FULL, "磁盘空间不足，需要 %s，请清理后重试！"},
    {IDS_OPEN_FAILED, "无法自动打开安装程序，请手动运行。"},
    {IDS_METERED_ASK, "当前为按流量计费的网络，继续下载 %s 吗？"},
    // The log names the cause; the user only learns whether waiting or fixing the clock helps.
    {IDS_UPDATE_CHECK_FAILED, "更新信息校验失败，请稍后重试！"},
    {IDS_UPDATE_EXPIRED, "更新信息已过期，请检查系统时间后重试！"},
    {IDS_PROXY_REFUSED, "代理服务器拒绝了连接，请检查代理设置和账号密码后重试！"},
    {IDS_PROXY_LOGIN, "代理服务器需要登录"},
    {IDS_PROXY_LOGIN_ASK, "代理服务器 %s 需要用户名和密码："},
    {IDS_PROXY_USER, "用户名："},
    {IDS_PROXY_PASSWORD, "密码："},
    {IDS_PROXY_OK, "确定"},
    {IDS_PROXY_CANCEL, "取消"},
    {IDS_UNTRUSTED_CERTIFICATE,
     "安全连接的证书不受信任，当前网络可能在检查加密连接，请更换网络后重试！"},
    {IDS_INSTALLER_NOT_FOUND, "服务器上找不到安装程序，请稍后重试！"},
    {IDS_SERVER_BUSY, "服务器繁忙，请稍后重试！"},
    {IDS_WEB_PAGE, "收到的是网页而不是安装程序，如果当前网络需要登录，请先登录后点击重试！"},
    {IDS_PORTAL_SIGN_IN, "当前网络需要登录，请先在浏览器中登录后点击重试！"},
};
