#include "app/DownloaderApp.h"

int main() {
    CDownloaderApp app;
    app.InitInstance();  // always false: the process ends here
    return app.ExitInstance();
}
