// korrbsl image info|dump: what the firmware image holds, and saving it to a file.
#include "cli/ImageCommand.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bsl/KorrBSLHost.h"
#include "cli/ErrorText.h"
#include "device/DeviceTypes.h"
#include "firmware/BuiltinImage.h"
#include "firmware/ImageSegments.h"

namespace korrcli {

namespace {

struct ImageOptions {
    std::string firmware;  // empty: the built-in image
    std::string out;
    bool titext = false;
};

int Fail(int32_t code, const std::string& what) {
    return ReportError(code, what.c_str());
}

// What a failed load or save means, in one line.
std::string FileReason(int32_t code, const std::string& file, const char* doing) {
    if (code == -100) return file + " is not a valid TI-Text file";
    if (code == -101) return "the firmware image is damaged";
    if (code == -60) return std::string("out of memory ") + doing + " " + file;
    return std::string("cannot ") + (std::strcmp(doing, "reading") == 0 ? "read " : "write ") +
           file + ": " + std::strerror(-code);
}

// The image to work on: the given file's, or the built-in one. 0 when it can be used.
int PrepareImage(korr::KorrBSLHost& host, const ImageOptions& options) {
    if (options.firmware.empty()) {
        if (host.image.status != 0) {
            return Fail(host.image.status, host.image.status == -60
                                               ? "out of memory building the built-in image"
                                               : "the built-in firmware image is damaged");
        }
        return 0;
    }
    const int32_t r = host.BSLLoadTIFile(options.firmware.c_str());
    return r == 1 ? 0 : Fail(r, FileReason(r, options.firmware, "reading"));
}

std::string VersionText(int32_t version) {
    if (version <= 0) return "unknown";
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d%d", version / 100, version / 10 % 10, version % 10);
    return text;
}

void PrintSegments(const korr::FirmwareImage& image) {
    std::vector<korr::ImageSegment> segments;
    if (korr::ListImageSegments(image.text, segments) != 1) {
        std::printf("Segments: the image text is damaged\n");
        return;
    }
    std::printf("Segments: %zu\n", segments.size());
    for (const korr::ImageSegment& s : segments) {
        if (s.words == 0) {
            std::printf("  %05X         0 bytes\n", s.address);
        } else {
            std::printf("  %05X-%05X %6u bytes\n", s.address, s.address + s.Bytes() - 1, s.Bytes());
        }
    }
}

void PrintVectors(const uint32_t* vectors) {
    std::printf("Vectors:\n");
    for (int i = 0; i < korr::kVectorCount; ++i) {
        std::printf("  %04X %04X", korr::kVectorBase + 2 * static_cast<uint32_t>(i), vectors[i]);
        if (i % 8 == 7) std::printf("\n");
    }
}

int RunInfo(const ImageOptions& options) {
    korr::KorrBSLHost host(nullptr);
    if (int r = PrepareImage(host, options)) return r;
    const korr::FirmwareImage& image = host.image;
    const bool builtIn = options.firmware.empty();
    const korr::DeviceTypeRow& type = korr::DeviceTypeInfo(image.type);
    std::printf("Image:    %s%s\n", image.name, builtIn ? " (built in)" : "");
    if (image.type == korr::kDeviceTypeUnknown) {
        std::printf("Type:     0 (unknown)\n");
    } else {
        std::printf("Type:     %u %s (%s)\n", image.type, type.code, type.displayName);
    }
    const int32_t version = builtIn ? korr::kBuiltinImage.version : image.version;
    std::printf("Version:  %s\n", VersionText(version).c_str());
    std::printf("Text:     %u characters\n", image.length);
    PrintSegments(image);
    PrintVectors(image.vectors);
    return kExitOk;
}

int RunDump(const ImageOptions& options) {
    korr::KorrBSLHost host(nullptr);
    if (int r = PrepareImage(host, options)) return r;
    const char* out = options.out.c_str();
    const int32_t r = options.titext ? host.BSLWriteStandardTIFile(out) : host.BSLWriteTIFile(out);
    if (r != 1) return Fail(r, FileReason(r, options.out, "writing"));
    std::printf("Wrote %s to %s%s\n", host.image.name, out, options.titext ? " as TI-Text" : "");
    return kExitOk;
}

}  // namespace

void RegisterImageCommand(CLI::App& app, Commands& commands) {
    CLI::App* image = app.add_subcommand("image", "Show the firmware image or save it to a file");
    image->require_subcommand(1);
    auto options = std::make_shared<ImageOptions>();

    CLI::App* info = image->add_subcommand("info", "Name, device type, version, segments, vectors");
    info->add_option("--firmware", options->firmware,
                     "A TI-Text file instead of the built-in image");
    commands.entries.emplace_back(info, [options] { return RunInfo(*options); });

    CLI::App* dump = image->add_subcommand("dump", "Save the image to a file");
    dump->add_option("OUT", options->out, "The file to write")->required();
    dump->add_option("--firmware", options->firmware,
                     "A TI-Text file instead of the built-in image");
    dump->add_flag("--titext", options->titext,
                   "Write standard TI-Text (bytes low address first, closing 'q' line)");
    commands.entries.emplace_back(dump, [options] { return RunDump(*options); });
}

}  // namespace korrcli
