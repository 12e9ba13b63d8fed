// korrbsl image info|dump: what the firmware image holds, and saving it to a file.
#include "cli/ImageCommand.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bsl/KorrBSLHost.h"
#include "cli/ErrorText.h"
#include "cli/FirmwareFile.h"
#include "device/DeviceTypes.h"
#include "firmware/BuiltinImage.h"
#include "firmware/ImageSegments.h"
#include "firmware/TIText.h"

namespace korrcli {

namespace {

struct ImageOptions {
    std::string firmware;  // empty: the built-in image
    std::string out;       // empty: the image's own file name; "-": standard output
    bool engineForm = false;
};

// The image to work on: the given file's, or the built-in one. kExitOk when it can be used.
int PrepareImage(korr::KorrBSLHost& host, const ImageOptions& options) {
    if (options.firmware.empty()) {
        if (host.image.status != 0) {
            return ReportError(host.image.status, host.image.status == -60
                                                      ? "out of memory building the built-in image"
                                                      : "the built-in firmware image is damaged");
        }
        return kExitOk;
    }
    return LoadFirmwareFile(host, options.firmware);
}

// The file name that identifies the image, as --firmware reads it back: "QS7 3-60.txt".
std::string ImageFileName(const korr::FirmwareImage& image) {
    std::string name = image.name;
    for (char& c : name) {
        if (c == '.') c = '-';
        if (c == '/') c = '_';
    }
    return name.empty() ? "" : name + ".txt";
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

int RunInfo(const ImageOptions& options, korr::KorrLog* log) {
    korr::KorrBSLHost host(log);
    if (int status = PrepareImage(host, options); status != kExitOk) return status;
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

int RunDump(const ImageOptions& options, korr::KorrLog* log) {
    korr::KorrBSLHost host(log);
    if (int status = PrepareImage(host, options); status != kExitOk) return status;
    const char* form = options.engineForm ? " in the engine's own form" : " as TI-Text";
    if (options.out == "-") {
        std::string contents;
        const int32_t r = options.engineForm ? korr::FormatImageDump(host.image, contents)
                                             : korr::FormatStandardTIText(host.image, contents);
        if (r != 1) return ReportError(r, "the firmware image could not be written out");
        if (std::fwrite(contents.data(), 1, contents.size(), stdout) != contents.size() ||
            std::fflush(stdout) != 0) {
            return ReportFailure(FileErrorText("standard output", errno, true));
        }
        return kExitOk;
    }
    const std::string out = options.out.empty() ? ImageFileName(host.image) : options.out;
    if (out.empty()) return ReportUsageError("image dump", "the image has no name: give OUT");
    const int32_t r = options.engineForm ? host.BSLWriteTIFile(out.c_str())
                                         : host.BSLWriteStandardTIFile(out.c_str());
    if (r < 0 && r > -4096 && r != korr::kImageNoMemory && r != korr::kImageDamaged) {
        return ReportFailure(FileErrorText(out, -r, true));
    }
    if (r != 1) return ReportError(r, "the firmware image could not be written out");
    std::printf("Wrote %s to %s%s\n", host.image.name, out.c_str(), form);
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
    AddLogOptions(info, commands.logOptions);
    commands.entries.emplace_back(
        info, [options, &commands] { return RunInfo(*options, commands.log.Log()); });

    CLI::App* dump = image->add_subcommand(
        "dump", "Save the image as a TI-Text file that --firmware reads back");
    dump->add_option("OUT", options->out,
                     "The file to write; \"-\" for standard output; default: the image's own "
                     "name (\"QS7 3-60.txt\")");
    dump->add_option("--firmware", options->firmware,
                     "A TI-Text file instead of the built-in image");
    dump->add_flag("--engine-form", options->engineForm,
                   "Write the loader engine's own image text (words high byte first, no 'q' "
                   "line) instead of TI-Text");
    AddLogOptions(dump, commands.logOptions);
    commands.entries.emplace_back(
        dump, [options, &commands] { return RunDump(*options, commands.log.Log()); });
}

}  // namespace korrcli
