#pragma once

// Sent with every size query and download.
inline constexpr char kDownloadHeaders[] =
    "Accept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n";
