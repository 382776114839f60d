#pragma once
// Menu texts mark their access key with '&' ("关于 Downloader(&A)..."); GTK marks it with '_'.

#include <string>
#include <string_view>

// "&x" becomes "_x", "&&" a literal '&', and a literal '_' is doubled.
std::string MnemonicToGtk(std::string_view text);
