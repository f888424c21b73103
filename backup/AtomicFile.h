#pragma once
// Replacing a file's content as a whole, for Save: the new content goes into a temporary
// file beside the target, is flushed to the disk and renamed over the target, so that a
// failure, a crash or a kill at any moment leaves either the old file or the complete
// new one.
//
// The temporary file is hidden and named after the target, ".<name>.zarvo-save-XXXXXX",
// and holds an flock until it has been renamed. Where the file system has unnamed
// temporary files (O_TMPFILE) the content is written, locked, before the file gets its
// name; elsewhere (FAT sticks, network shares) under the name, locked just after it is
// created and checked to be still under it. A killed save can leave such a file behind;
// every save first removes, from the target's folder, the files of that pattern that
// are the user's own and that no one holds locked, so they never pile up. Nothing else
// is ever removed; where the file system has no locks, nothing at all.
//
// A symbolic link as the target is followed: the file it points to is replaced, the link
// stays. An existing target keeps its permission bits; one that is not writable, or is
// not a regular file, is not replaced. Any thread; returns 0 or an errno, raises nothing.

#include <string>
#include <string_view>

int ReplaceFileContent(const std::string& path, std::string_view content);

// The same for a file that must not exist yet: its name is taken only if still free when
// the complete file gets it, so a file that appeared meanwhile is never replaced (EEXIST).
int CreateFileContent(const std::string& path, std::string_view content);

// Removes our stale temporary files from the folder; the number removed.
int RemoveStaleSaveFiles(const std::string& folder);

// ".<name>.zarvo-save-" and six letters or digits.
bool IsSaveTemporaryName(std::string_view fileName);
