#pragma once
#include <ctime>
#include <string>

class CAppParams;
class CDownloaderApp;

// Fills the start-up entries of the application's table from the running system; hands the
// module path back through modulePath.
void BuildAppParams(CDownloaderApp& app, std::string& modulePath);

// The same from given inputs: the module path, the temporary folder (ending in '/') and the
// local time of start-up.
void FillAppParams(CAppParams& params, const std::string& modulePath, const std::string& tmpPath,
                   const std::tm& now);
