#include "app/DownloaderApp.h"

int main() {
    CDownloaderApp app;
    app.InitInstance();
    return 0;
}
