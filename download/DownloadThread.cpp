#include "download/DownloadThread.h"

unsigned DownloadThread(CWorkerHost* param) {
    if (!param) return 0;
    if (!param->CheckNetwork()) return 0;
    return 1;
}
