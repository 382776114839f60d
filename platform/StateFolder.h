#pragma once
#include <string>

// The user's private state folder for appName, ending in '/': $XDG_STATE_HOME/<appName>/, else
// ~/.local/state/<appName>/, made with mode 0700 (an existing one of this user is tightened to
// it). What is kept there outlives any temporary folder, so it follows the user from run to
// run. Empty when it is not a private folder of this user (someone else's, a symbolic link in
// its place, or it cannot be made): nobody else may write what is kept there.
std::string GetUserStateFolder(const std::string& appName);
