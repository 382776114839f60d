#include "app/BuildAppParams.h"

#include "app/DownloaderApp.h"
#include "base/ResString.h"
#include "base/StringTable.h"
#include "platform/ModulePath.h"
#include "platform/TempPath.h"

void FillAppParams(CAppParams& params, const std::string& modulePath, const std::string& tmpPath,
                   const std::tm& now) {
    std::size_t slash = modulePath.find_last_of('/');
    bool endsWithSeparator = modulePath.empty() || slash == modulePath.size() - 1;
    if (!endsWithSeparator) {
        params.Set("AppDir", slash == std::string::npos ? "" : modulePath.substr(0, slash));
        params.Set("AppName",
                   slash == std::string::npos ? modulePath : modulePath.substr(slash + 1));
    }
    params.Set("AppTmpPath", tmpPath);
    char month[16];
    std::strftime(month, sizeof month, "%Y-%m", &now);
    // AppTmpPath ends in '/', so the joined path keeps a doubled separator before "log".
    params.Set("Log", tmpPath + "/log" + month);
    params.Set("Version", LoadResString(IDS_PRODUCT_KEY));
    params.Set("Channel", LoadResString(IDS_CHANNEL));
}

void BuildAppParams(CDownloaderApp& app, std::string& modulePath) {
    modulePath = GetModulePath();
    std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    FillAppParams(app.AppParams, modulePath, GetPrivateTempPath(app.AppName()), now);
}
