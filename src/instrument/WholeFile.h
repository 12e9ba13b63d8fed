#pragma once
// Files read and written in one piece. The writer puts the text into a temporary file beside the
// target, readable and writable by its owner only, makes it durable and renames it over the
// target, so the target is either the old file or the whole new one, never a part.

#include <cstdint>
#include <string>
#include <string_view>

namespace korr {

// 1, or the negated system error number of the step that failed (the target is then as it was).
int32_t WriteWholeFile(const char* path, std::string_view text);

// The largest file ReadWholeFile takes; a settings file is a few kilobytes.
inline constexpr size_t kMostFileBytes = 1 << 20;

// 1 with the file's bytes in text; -102 not found, -105 access denied, -106 bad handle, -60 too
// large to hold, else the negated system error number.
int32_t ReadWholeFile(const char* path, std::string* text);

}  // namespace korr
