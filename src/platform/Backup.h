#pragma once

#include <filesystem>

#include "common/Result.h"
#include "platform/Files.h"

namespace brenzo::platform {

// "NAME.bak" beside the container: the original as it was before the first save over it.
std::filesystem::path BackupPath(const std::filesystem::path& container);
bool HasBackup(const std::filesystem::path& container);

// Keeps the container as it is now under BackupPath, unless a backup is there already: that
// one is the first original and is never overwritten. A hard link where the file system
// allows one (the save renames a new file over the container, so the link keeps the old
// bytes), else a copy flushed to the disk.
Status KeepBackup(const std::filesystem::path& container);

// Puts the backup back over the container, atomically and flushed as a save is, behind the
// save's guards: only a regular file that may be replaced, and only while it is still the file
// that was opened (`opened`, or what it is when the restore begins); the backup stays.
Status RestoreBackup(const std::filesystem::path& container, const FileIdentity* opened = nullptr);

}  // namespace brenzo::platform
