// The words of the Errors line for each kind of controller.
#include "controller/controller_types.h"
#include "proto/error_words.h"

#include <gtest/gtest.h>

#include <string>


namespace kx7 {
namespace {

struct WordsCase {
  const char* name;
  std::uint32_t type;
  std::uint32_t features;
  std::uint32_t status;
  const char* words;
};

class ErrorWordsTest : public ::testing::TestWithParam<WordsCase> {};

TEST_P(ErrorWordsTest, Words) {
  const WordsCase& c = GetParam();
  EXPECT_EQ(ErrorWords(c.type, c.features, c.status), c.words);
}

std::string CaseName(const ::testing::TestParamInfo<WordsCase>& info) { return info.param.name; }

// The Birch USB loader: EEPROM is bit 1 of the high byte.
INSTANTIATE_TEST_SUITE_P(
    BirchUsbRom, ErrorWordsTest,
    ::testing::Values(WordsCase{"Clear", type::kBirchUsbRom, 0x50, 0, ""},
                      WordsCase{"Eeprom", type::kBirchUsbRom, 0x50, 0x200, "EEPROM "},
                      WordsCase{"HighBitZeroIsNothing", type::kBirchUsbRom, 0x50, 0x100, ""},
                      WordsCase{"LowBitOneIsProgNotEeprom", type::kBirchUsbRom, 0x50, 0x2, "PROG "},
                      WordsCase{"All", type::kBirchUsbRom, 0x50, 0x20B, "EEPROM DATA PROG FORMAT "},
                      // Its Birch feature does not bring in the Birch list.
                      WordsCase{"OtherBitsNothing", type::kBirchUsbRom, 0x50, 0xFDF4, ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(CedarGen2, ErrorWordsTest,
                         ::testing::Values(WordsCase{"Rom", type::kRowanGen2, 0, 0x2, "ROM "},
                                           WordsCase{"All", type::kRowanGen2, 0, 0xF2,
                                                     "ROM FROM_DSP_OV TO_DSP_OV FROM_PC_OV TO_PC_OV "},
                                           WordsCase{"UsbAll", type::kRowanUsbGen2, 0, 0xFF,
                                                     "ROM FROM_DSP_OV TO_DSP_OV FROM_PC_OV TO_PC_OV "},
                                           WordsCase{"OtherBitsNothing", type::kRowanUsbGen2, 0, 0xFF0D, ""}),
                         CaseName);

INSTANTIATE_TEST_SUITE_P(CedarGen3AndGen4, ErrorWordsTest,
                         ::testing::Values(WordsCase{"Gen3", type::kRowanGen3, 0, 0x8, "QPARAM "},
                                           WordsCase{"UsbGen3", type::kRowanUsbGen3, 0x1000, 0xFF, "QPARAM "},
                                           WordsCase{"UsbGen4", type::kRowanGen4, 0x1000, 0x8, "QPARAM "},
                                           WordsCase{"OtherBitsNothing", type::kRowanGen3, 0, 0xFFF7, ""},
                                           // The serial GEN4 is not in the QPARAM row: it reads the common list.
                                           WordsCase{"SerialGen4IsCommon", type::kCedarGen4, 0, 0x8, "BLK1 "}),
                         CaseName);

INSTANTIATE_TEST_SUITE_P(
    BirchFamily, ErrorWordsTest,
    ::testing::Values(
        WordsCase{"Clear", type::kBirch, 0x10, 0, ""},
        WordsCase{"Low", type::kBirch, 0x10, 0x1F, "RAM ROM STRAY BLK1 PGAIN "},
        WordsCase{"BitFiveHasNoWord", type::kBirch, 0x10, 0x20, ""},
        WordsCase{"All", type::kBirch2Hid, 0x10, 0x3FFFF,
                  "RAM ROM STRAY BLK1 PGAIN BLK4 BLK2 BLK3 FORMAT BLK5 BLK6 BLK7 BLK8 SENRES BP2CNR OFFSET FIXCAL"},
        WordsCase{"FixcalWithoutBlank", type::kBirch2Hid, 0x10, 0x20000, "FIXCAL"},
        WordsCase{"HighWord", type::kBirch2Hid, 0x10, 0x18000, "BP2CNR OFFSET "},
        WordsCase{"AboveFixcalNothing", type::kBirch2Hid, 0x10, 0xFFFC0000, ""},
        // The feature, not the type, picks the list.
        WordsCase{"BirchTypeWithoutFeature", type::kBirch, 0, 0x4, "PWM "},
        WordsCase{"GenericWithFeature", type::kGeneric, 0x10, 0x4, "STRAY "}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(AllOthers, ErrorWordsTest,
                         ::testing::Values(WordsCase{"Clear", type::kGeneric, 0, 0, ""},
                                           WordsCase{"All", type::kHazel3, 0, 0xFF, "RAM ROM PWM BLK1 HDW BLK4 BLK2 "},
                                           WordsCase{"Blk7WithSpruce", type::kLarchUsb, 0x4000, 0x20, "BLK7 "},
                                           WordsCase{"Blk7WithSequoia", type::kLarchUsb, 0x80000, 0x20, "BLK7 "},
                                           WordsCase{"Blk7NotWithOtherModels", type::kLarchUsb, 0x8000 | 0x10000, 0x20,
                                                     ""},
                                           WordsCase{"AllWithSequoia", type::kLarchUsb, 0x80800, 0xFF,
                                                     "RAM ROM PWM BLK1 HDW BLK7 BLK4 BLK2 "},
                                           WordsCase{"HighBitsNothing", type::kMaple, 0x4000, 0xFFFFFF00, ""}),
                         CaseName);

}  // namespace
}  // namespace kx7
