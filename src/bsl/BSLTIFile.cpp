// Opening a TI-Text file as the image to program, and saving the image to a file.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <memory>
#include <new>
#include <string>

#include "bsl/KorrBSLHost.h"
#include "firmware/ImageName.h"
#include "firmware/TIText.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr const char* kTag = "KorrBSL";
constexpr size_t kReadChunk = 16 * 1024;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int Elapsed(uint32_t start) {
    return static_cast<int>(TickMs() - start);
}

int32_t LastError() {
    return errno != 0 ? -errno : -EIO;
}

// The whole file as it stands. Returns 1, -60, or the negated error of a failed read.
int32_t ReadAll(std::FILE* f, std::string& contents) {
    try {
        char chunk[kReadChunk];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) contents.append(chunk, n);
    } catch (const std::bad_alloc&) {
        return -60;
    }
    return std::ferror(f) ? LastError() : 1;
}

// Creates (truncates) the file and writes `contents`. A write that did not reach the disk is a
// failure, not a saved file.
int32_t WriteAll(KorrLog* log, const char* operation, const char* path, const std::string& contents,
                 uint32_t start) {
    errno = 0;
    File f(std::fopen(path, "wb"));
    if (!f) {
        const int error = errno;
        if (log)
            log->Print(LOG_ERROR, kTag, "%s got error %d trying to open datafile %s", operation,
                       error, path);
        return -error;
    }
    errno = 0;
    bool ok = std::fwrite(contents.data(), 1, contents.size(), f.get()) == contents.size();
    int32_t r = ok ? 1 : LastError();
    ok = std::fclose(f.release()) == 0 && ok;
    if (!ok) {
        if (r == 1) r = LastError();
        if (log)
            log->Print(LOG_ERROR, kTag, "%s failed with error %d (%d ms)", operation, r,
                       Elapsed(start));
        return r;
    }
    if (log)
        log->Print(LOG_INFO, kTag, "%s wrote file %s (%d ms)", operation, path, Elapsed(start));
    return 1;
}

// Takes a loaded file as the image; name, type and version come from the file's name.
void ReplaceImage(FirmwareImage& image, const char* path, TITextContents& loaded) {
    const ImageIdentity id = IdentityFromPath(path);
    image.text.swap(loaded.text);  // the old text goes with `loaded`
    image.length = static_cast<uint32_t>(image.text.size());
    std::copy(std::begin(loaded.vectors), std::end(loaded.vectors), image.vectors);
    std::copy(std::begin(id.name), std::end(id.name), image.name);
    image.type = id.type;
    image.version = id.version;
}

}  // namespace

int32_t KorrBSLHost::BSLLoadTIFile(const char* path) {
    return BSLLoadTIFile(path, nullptr);
}

int32_t KorrBSLHost::BSLLoadTIFile(const char* path, TITextStop* stop) {
    const uint32_t start = TickMs();
    if (path == nullptr) return -10;
    errno = 0;
    File f(std::fopen(path, "rb"));
    if (!f) {
        const int error = errno;
        if (log)
            log->Print(LOG_ERROR, kTag, "BSLLoadTIFile got error %d trying to open datafile %s",
                       error, path);
        return -error;
    }
    std::string contents;
    int32_t r = ReadAll(f.get(), contents);
    f.reset();
    TITextStop where;
    TITextContents loaded;
    if (r == 1) r = ParseTIText(contents, loaded, &where);
    if (stop != nullptr) *stop = where;
    // Quietly: a file that fails the first look is not TI-Text at all.
    if (r == kNotTIText && where.fault == TITextFault::NotTIText) return r;

    if (r == 1) {
        ReplaceImage(image, path, loaded);
        if (log)
            log->Print(LOG_INFO, kTag, "BSLLoadTIFile loaded file %s (%d ms)", path,
                       Elapsed(start));
    } else if (log && r == kNotTIText) {
        log->Print(LOG_INFO, kTag, "BSLLoadTIFile: file %s is not a valid TI-Text file (%d ms)",
                   path, Elapsed(start));
        log->Print(LOG_INFO, kTag, "BSLLoadTIFile stopped reading at line %u",
                   static_cast<unsigned>(where.line));
    } else if (log) {
        log->Print(LOG_ERROR, kTag, "BSLLoadTIFile failed with error %d (%d ms)", r,
                   Elapsed(start));
    }
    return r;
}

int32_t KorrBSLHost::BSLWriteTIFile(const char* path) {
    const uint32_t start = TickMs();
    if (path == nullptr) return -10;
    std::string contents;
    const int32_t r = FormatImageDump(image, contents);
    if (r != 1) {
        if (log)
            log->Print(LOG_ERROR, kTag, "BSLWriteTIFile failed with error %d (%d ms)", r,
                       Elapsed(start));
        return r;
    }
    return WriteAll(log, "BSLWriteTIFile", path, contents, start);
}

int32_t KorrBSLHost::BSLWriteStandardTIFile(const char* path) {
    const uint32_t start = TickMs();
    if (path == nullptr) return -10;
    std::string contents;
    const int32_t r = FormatStandardTIText(image, contents);
    if (r != 1) {
        if (log)
            log->Print(LOG_ERROR, kTag, "BSLWriteStandardTIFile failed with error %d (%d ms)", r,
                       Elapsed(start));
        return r;
    }
    return WriteAll(log, "BSLWriteStandardTIFile", path, contents, start);
}

}  // namespace korr
