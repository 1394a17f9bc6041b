// Block storage, the Block1 check word and the numbered parameters of a controller.
#include "emulator/parameter_store.h"

#include <gtest/gtest.h>

#include <vector>

namespace kx7::emu {
namespace {

TEST(BlockChecksum, ThirtyByteBlockXorsFourteenWordsIntoBytes28And29) {
  std::vector<std::uint8_t> block(30, 0);
  block[0] = 0x34;  // word 0 = 0x1234
  block[1] = 0x12;
  block[26] = 0x01;  // word 13 = 0x0F01
  block[27] = 0x0F;
  StoreBlockChecksum(block);
  EXPECT_EQ(block[28], 0x35);
  EXPECT_EQ(block[29], 0x1D);
  EXPECT_TRUE(BlockChecksumValid(block));
  block[27] ^= 0x80;
  EXPECT_FALSE(BlockChecksumValid(block));
}

TEST(BlockChecksum, OddLengthsUseTheWordAfterTheWholeWords) {
  std::vector<std::uint8_t> block = {0x01, 0x02, 0x00, 0x00, 0xEE};
  StoreBlockChecksum(block);  // one word (0x0201) before the check word at bytes 2 and 3
  EXPECT_EQ(block, (std::vector<std::uint8_t>{0x01, 0x02, 0x01, 0x02, 0xEE}));
  EXPECT_TRUE(BlockChecksumValid(block));
  std::vector<std::uint8_t> tiny = {0x07};
  StoreBlockChecksum(tiny);
  EXPECT_EQ(tiny, (std::vector<std::uint8_t>{0x07}));
  EXPECT_FALSE(BlockChecksumValid(tiny));
}

TEST(ParameterStore, BlocksKeepTheirLengthAndTheirDefaults) {
  ParameterStore store;
  store.DefineBlock(2, std::vector<std::uint8_t>(4, 9));
  EXPECT_FALSE(store.HasBlock(3));
  EXPECT_EQ(store.Block(3), nullptr);
  EXPECT_FALSE(store.SetBlock(3, {1}));
  EXPECT_FALSE(store.SetBlock(2, {1, 2, 3})) << "a block does not change its length";
  EXPECT_TRUE(store.SetBlock(2, {1, 2, 3, 4}));
  EXPECT_EQ(*store.Block(2), (std::vector<std::uint8_t>{1, 2, 3, 4}));
  store.RestoreBlocks();
  EXPECT_EQ(*store.Block(2), std::vector<std::uint8_t>(4, 9));
}

TEST(ParameterStore, ValuesFitTheirDigitsAndReadOnlyStaysPut) {
  ParameterStore store;
  store.DefineParameter(QParameter{4, 4, 3, true});
  store.DefineParameter(QParameter{301, 8, 0x100, true});
  store.DefineParameter(QParameter{7, 2, 0x11, false});
  EXPECT_TRUE(store.SetValue(4, 0xFFFF));
  EXPECT_FALSE(store.SetValue(4, 0x10000));
  EXPECT_TRUE(store.SetValue(301, 0xFFFFFFFF));
  EXPECT_FALSE(store.SetValue(7, 1));
  EXPECT_FALSE(store.SetValue(5, 1));
  EXPECT_EQ(store.Value(4), 0xFFFFu);
  EXPECT_EQ(store.Value(7), 0x11u);
  EXPECT_FALSE(store.Value(5));
  store.RestoreParameters();
  EXPECT_EQ(store.Value(4), 3u);
  EXPECT_EQ(store.Value(301), 0x100u);
}

}  // namespace
}  // namespace kx7::emu
