#include "app/ImageTexts.h"

#include <cstdio>

namespace korr {

namespace {

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

std::string Bytes(uint32_t first, uint32_t last) {
    if (first == last) return "the byte at " + Hex(first);
    return "the bytes " + Hex(first) + "-" + Hex(last);
}

std::string Quoted(const std::string& token) {
    return "\"" + token + "\"";
}

}  // namespace

std::string TITextStopText(const TITextStop& stop) {
    switch (stop.fault) {
        case TITextFault::None:
            return "";
        case TITextFault::NotTIText:
            return "a TI-Text file starts with an address line (\"@\") and ends with a \"q\" line";
        case TITextFault::BadAddress:
            return Quoted(stop.token) + " is not an address line (\"@\" and hex digits)";
        case TITextFault::AddressTooHigh:
            return Quoted(stop.token) + " lies beyond 0xFFFFF, the highest address an image holds";
        case TITextFault::OddAddress:
            return "the section starts at the odd address " + Hex(stop.address);
        case TITextFault::NoDataLine:
            return "the address line " + Quoted(stop.token) + " is not followed by a line of data";
        case TITextFault::BadToken:
            return Quoted(stop.token) + " is not two hex digits";
        case TITextFault::Overlap:
            return "data for " + Hex(stop.address) + " were already given earlier in the file";
        case TITextFault::VectorsCutShort:
            return "the interrupt vectors end inside a word";
        case TITextFault::VectorsPastEnd:
            return "the interrupt vectors run past 0xFFFE";
        case TITextFault::NoVectors:
            return "the file gives no interrupt vectors (a section at 0xFFE0 to 0xFFFE)";
        case TITextFault::NoEnd:
            return "the file has no \"q\" line at its end";
        case TITextFault::AfterEnd:
            return Quoted(stop.token) + " follows the closing \"q\" line";
    }
    return "";
}

std::string ImageFitText(const ImageFitProblem& problem, const TargetMemory& memory,
                         const std::string& device) {
    const std::string bytes = Bytes(problem.first, problem.last);
    switch (problem.fault) {
        case ImageFitFault::None:
            return "";
        case ImageFitFault::Malformed:
            return "the image is damaged (not in image-text form)";
        case ImageFitFault::Empty:
            return "the image holds no data to program";
        case ImageFitFault::InLoaderArea:
            return bytes + " lie in the firmware loader's own area (0xFA00-0xFFFF)";
        case ImageFitFault::OutsideMemory: {
            const uint32_t infoEnd =
                memory.infoStart + memory.infoSegments * memory.infoSegmentSize;
            return bytes + " lie outside the " + device + "'s flash (" + Hex(memory.flashStart) +
                   "-" + Hex(memory.flashEnd) + ") and information memory (" +
                   Hex(memory.infoStart) + "-" + Hex(infoEnd - 1) + ")";
        }
        case ImageFitFault::NotErased:
            return bytes + " lie where the loader is not asked to erase the " + device + "'s flash";
        case ImageFitFault::NoResetVector:
            return "the image sets no reset vector (0xFFFE), so the " + device +
                   " could not start it";
        case ImageFitFault::ResetOutsideImage:
            return "the reset vector points at " + Hex(problem.first) +
                   ", where the image writes nothing";
    }
    return "";
}

}  // namespace korr
