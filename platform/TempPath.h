#pragma once
#include <string>

// The user's private temporary folder, ending in '/'. $TMPDIR when it is a directory owned by
// this user that nobody else may write to; otherwise <cache dir>/<appName>/, made with mode
// 0700. Never a shared folder: an installer found here may be started, so no other user may
// be able to plant or replace it. Should the cache folder not be ours (someone else's folder
// or a symbolic link in its place), a fresh folder of mode 0700 is made instead; nothing from
// earlier runs can be resumed there, but nothing planted can be started either.
std::string GetPrivateTempPath(const std::string& appName);

// Whether path is a directory (not a symbolic link) owned by this user and not writable by
// group or others.
bool IsPrivateDirectory(const std::string& path);

// Makes path (and its parents) with mode 0700, or tightens a directory of this user that is
// there already to 0700. True when path is then a private directory of this user.
bool MakePrivateDirectory(const std::string& path);
