#pragma once
// The program's string table, by resource id.

struct ResStringEntry {
    int id;
    const char* text;
};

inline constexpr ResStringEntry kStringTable[] = {
    {101, "关于 Downloader(&A)..."},                    // About entry of the window menu
    {103, "velmora"},                                   // product key reported to the service
    {104, "general"},                                   // distribution channel
    {107, "网络连接失败！请检查您的网络配置后重试！"},  // no network
};
