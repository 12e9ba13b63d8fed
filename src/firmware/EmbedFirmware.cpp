// Build-time tool: turns a TI-Text file into the built-in image's constants, so that a build for
// another product only names another file and device type.
//
//   korr_embed_firmware <TI-Text file> <device type> <output .cpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "device/DeviceTypes.h"
#include "firmware/EmbeddedImage.h"
#include "firmware/ImageFit.h"
#include "firmware/ImageName.h"
#include "firmware/TIText.h"

namespace {

constexpr size_t kDigitsPerSourceLine = 96;

int Fail(const char* what, const char* detail) {
    std::fprintf(stderr, "korr_embed_firmware: %s: %s\n", what, detail);
    return EXIT_FAILURE;
}

std::string Quoted(const char* text) {
    std::string out = "\"";
    for (const char* p = text; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

std::string Source(const char* file, const korr::ImageIdentity& id, int type,
                   const korr::TITextContents& image) {
    std::ostringstream s;
    s << "// Generated from " << Quoted(file) << " when the program was built; do not edit.\n"
      << "#include \"firmware/BuiltinImage.h\"\n\nnamespace korr {\n\nnamespace {\n\n"
      << "constexpr char kText[] =\n";
    for (size_t i = 0; i < image.text.size(); i += kDigitsPerSourceLine) {
        s << "    \"" << image.text.substr(i, kDigitsPerSourceLine) << "\"\n";
    }
    s << "    ;\n\n}  // namespace\n\nconst EmbeddedImage kBuiltinImage = {\n"
      << "    .name = " << Quoted(id.name) << ",\n"
      << "    .type = " << type << ",\n"
      << "    .version = " << id.version << ",\n    .vectors = {";
    for (int i = 0; i < korr::kVectorCount; ++i) {
        char word[16];
        std::snprintf(word, sizeof word, "%s0x%04X", i == 0 ? "" : ", ", image.vectors[i]);
        s << word;
    }
    s << "},\n    .text = std::string_view(kText, sizeof kText - 1),\n"
      << "    .length = " << image.text.size() << ",\n"
      << "    .sum = " << korr::ImageTextSum(image.text) << ",\n};\n\n}  // namespace korr\n";
    return s.str();
}

std::string ReadAll(const char* path, bool* ok) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    *ok = static_cast<bool>(in);
    return s.str();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return Fail("usage", "korr_embed_firmware <TI-Text file> <type> <output>");
    const char* input = argv[1];
    const int type = std::atoi(argv[2]);
    if (type <= korr::kDeviceTypeUnknown || type >= korr::kDeviceTypeEnd) {
        return Fail("device type must be 1 to 19", argv[2]);
    }
    bool ok = false;
    const std::string contents = ReadAll(input, &ok);
    if (!ok) return Fail("cannot read", input);
    korr::TITextContents image;
    if (korr::ParseTIText(contents, image) != 1) return Fail("not a valid TI-Text file", input);
    if (image.text.empty()) return Fail("no data in", input);
    // The build installs this image without asking: it must fit its device type's memory.
    korr::FirmwareImage fit;
    fit.text = image.text;
    std::copy(std::begin(image.vectors), std::end(image.vectors), fit.vectors);
    if (korr::CheckImageFit(fit, korr::TargetMemoryOf(korr::DeviceTypeInfo(type)), nullptr) != 1) {
        return Fail("the image does not fit the memory of its device type", input);
    }

    const korr::ImageIdentity id = korr::IdentityFromPath(input);
    if (std::string(id.name).size() >= korr::kEmbeddedNameCapacity) {
        return Fail("image name longer than 11 characters", id.name);
    }
    if (id.type != 0 && id.type != type) {
        return Fail("the file's name is for another device type", id.name);
    }

    const std::string path = input;
    const std::string fileName = path.substr(path.find_last_of("/\\") + 1);
    const std::string source = Source(fileName.c_str(), id, type, image);
    bool same = false;
    if (ReadAll(argv[3], &same) == source && same) return EXIT_SUCCESS;  // keep it unchanged
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out << source;
    out.close();
    if (!out) return Fail("cannot write", argv[3]);
    return EXIT_SUCCESS;
}
