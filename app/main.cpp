#include "app/DownloaderApp.h"

int main() {
    TheApp().InitInstance();
    return 0;
}
