#pragma once
// The download worker: one pass from the network check to a finished, verified installer,
// reporting to its window only through worker events.

#include "download/WorkerHost.h"

// The thread procedure. 0 without a host or when the network check fails, 1 otherwise.
unsigned DownloadThread(CWorkerHost* param);
