// Whether an image fits the memory the loader is asked to erase: the stock images fit their own
// types, and each way of not fitting is found with the bytes it concerns.
#include <gtest/gtest.h>

#include <string>

#include "TITextFixture.h"
#include "device/DeviceTypes.h"
#include "firmware/ImageFit.h"

using namespace korr;

namespace {

class ImageFitTest : public korrtest::TITextFixture {};

TEST_F(ImageFitTest, TheStockImagesFitTheirOwnTypeAndNoOther) {
    struct Case {
        const char* file;  // empty: the built-in image (the cases that use it come first)
        int type;
        bool fits;
    } cases[] = {
        {"", kDeviceTypeQS7, true},
        {"", kDeviceTypeQE8, false},
        {"", kDeviceTypeQVX, false},
        {"QS7 3-61.txt", kDeviceTypeQS7, true},
        {"QE8 2-10.txt", kDeviceTypeQE8, true},
        {"QE8 2-10.txt", kDeviceTypeQS7, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " as type " + std::to_string(c.type));
        if (c.file[0] != '\0') {
            ASSERT_EQ(host.BSLLoadTIFile((std::string(KORR_FIRMWARE_DIR) + "/" + c.file).c_str()),
                      1);
        }
        ImageFitProblem problem;
        EXPECT_EQ(CheckImageFit(host.image, TargetMemoryOf(DeviceTypeInfo(c.type)), &problem),
                  c.fits ? 1 : kImageDoesNotFit);
        EXPECT_EQ(problem.fault == ImageFitFault::None, c.fits);
    }
}

TEST_F(ImageFitTest, WhatDoesNotFitIsNamed) {
    const TargetMemory qs7 = TargetMemoryOf(DeviceTypeInfo(kDeviceTypeQS7));
    const TargetMemory qe8 = TargetMemoryOf(DeviceTypeInfo(kDeviceTypeQE8));
    // Flash that ends inside a segment the erase never reaches: 0x1100 and 0x1300 are erased,
    // the erase stops before 0x1500, so 0x1400-0x1500 is flash that nothing clears.
    TargetMemory shortErase = qs7;
    shortErase.flashEnd = 0x1500;
    const std::string reset1100 = "@FFFE\n00 11\n";
    struct Case {
        const char* name;
        TargetMemory memory;
        std::string file;
        ImageFitFault fault;
        uint32_t first;
        uint32_t last;
    } cases[] = {
        {"information memory and flash", qs7, "@1000\n11 22\n@1100\n33 44\n" + reset1100,
         ImageFitFault::None, 0, 0},
        {"the loader's area", qs7, "@1100\n11 22\n@FE00\n33 44\n" + reset1100,
         ImageFitFault::InLoaderArea, 0xFE00, 0xFE01},
        {"data running into the loader's area", qs7, "@F9FE\n11 22 33 44\n" + reset1100,
         ImageFitFault::InLoaderArea, 0xFA00, 0xFA01},
        {"below the information memory", qs7, "@0F00\n11 22\n@1100\n33 44\n" + reset1100,
         ImageFitFault::OutsideMemory, 0xF00, 0xF01},
        {"above 0xFFFF with four address digits", qs7, "@1100\n11 22\n@10000\n33 44\n" + reset1100,
         ImageFitFault::OutsideMemory, 0x10000, 0x10001},
        {"past the end of a 20-bit flash", qe8, "@2100\n11 22\n@1FEFE\n11 22 33 44\n@FFFE\n00 21\n",
         ImageFitFault::OutsideMemory, 0x1FF01, 0x1FF01},
        {"past the information memory", qe8, "@10C0\n11 22\n@2100\n11 22\n@FFFE\n00 21\n",
         ImageFitFault::OutsideMemory, 0x10C0, 0x10C1},
        {"flash the erase does not reach", shortErase,
         "@1100\n11 22\n@13FE\n11 22 33 44\n" + reset1100, ImageFitFault::NotErased, 0x1400,
         0x1401},
        {"no reset vector", qs7, "@1100\n11 22\n@FFE0\n00 11\n", ImageFitFault::NoResetVector,
         0xFFFE, 0xFFFE},
        {"reset vector into nothing", qs7, "@1100\n11 22\n@FFFE\n00 90\n",
         ImageFitFault::ResetOutsideImage, 0x9000, 0x9000},
        {"nothing but vectors", qs7, reset1100, ImageFitFault::Empty, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Load(c.file + "q\n"), 1);
        ImageFitProblem problem;
        const int32_t r = CheckImageFit(host.image, c.memory, &problem);
        EXPECT_EQ(r, c.fault == ImageFitFault::None ? 1 : kImageDoesNotFit);
        EXPECT_EQ(problem.fault, c.fault);
        EXPECT_EQ(problem.first, c.first);
        EXPECT_EQ(problem.last, c.last);
    }
}

TEST_F(ImageFitTest, ADamagedImageTextDoesNotFit) {
    host.image.text = "@01100AB?D";
    EXPECT_EQ(CheckImageFit(host.image, TargetMemoryOf(DeviceTypeInfo(kDeviceTypeQS7)), nullptr),
              kImageDoesNotFit);
}

}  // namespace
