#include "control/favorite_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {
FavoriteFields favorite(int wave, int flame, const char* palette, const char* translation,
                        int display) {
    FavoriteFields fields = {};
    fields.wave = wave;
    fields.flame = flame;
    std::strcpy(fields.palette, palette);
    std::strcpy(fields.translation, translation);
    fields.display = display;
    return fields;
}
} // namespace

TEST(FavoriteRecords, EncodeGivesTheStoredBytesAndDecodesBack) {
    uint8_t out[kRecordBufferSize];
    const size_t length =
        encodeFavorite(favorite(3, 14, "VOLCANO.MAP", "rotate.tab", 2), out, sizeof out);
    ASSERT_EQ(length, 14u + 11 + 10);
    const std::vector<uint8_t> head(out, out + 9);
    EXPECT_EQ(head, (std::vector<uint8_t>{3, 0, 0, 0, 14, 0, 0, 0, 'V'}));
    EXPECT_EQ(out[19], 0);
    EXPECT_EQ(out[30], 0);
    EXPECT_EQ(out[31], 2);
    FavoriteFields back;
    ASSERT_TRUE(decodeFavorite(out, length, back));
    EXPECT_EQ(back.wave, 3);
    EXPECT_EQ(back.flame, 14);
    EXPECT_STREQ(back.palette, "VOLCANO.MAP");
    EXPECT_STREQ(back.translation, "rotate.tab");
    EXPECT_EQ(back.display, 2);
}

TEST(FavoriteRecords, NoTranslationIsAnEmptyName) {
    uint8_t out[kRecordBufferSize];
    const size_t length = encodeFavorite(favorite(0, 0, "A.MAP", "", 0), out, sizeof out);
    EXPECT_EQ(length, 14u + 5);
    FavoriteFields back;
    ASSERT_TRUE(decodeFavorite(out, length, back));
    EXPECT_STREQ(back.translation, "");
}

TEST(FavoriteRecords, Upgrading140RenumbersWavesAndAddsTheDisplay) {
    // wave 20, flame 5, "P.MAP", "" without a display field: 12 + 5 + 0 bytes.
    const uint8_t old[] = {20, 0, 0, 0, 5, 0, 0, 0, 'P', '.', 'M', 'A', 'P', 0, 0};
    uint8_t out[kRecordBufferSize];
    const size_t length = upgradeFavoriteRecord(old, sizeof old, out, sizeof out);
    ASSERT_EQ(length, sizeof old + 4);
    EXPECT_EQ(out[0], 18);
    EXPECT_EQ(std::memcmp(out + 4, old + 4, sizeof old - 4), 0);
    EXPECT_EQ(out[sizeof old], 0);
    uint8_t wave21[sizeof old];
    std::memcpy(wave21, old, sizeof old);
    wave21[0] = 21;
    upgradeFavoriteRecord(wave21, sizeof wave21, out, sizeof out);
    EXPECT_EQ(out[0], 19);
    wave21[0] = 17;
    upgradeFavoriteRecord(wave21, sizeof wave21, out, sizeof out);
    EXPECT_EQ(out[0], 17);
}

TEST(FavoriteRecords, BadRecordsAreRefusedWithoutReadingPastThem) {
    FavoriteFields back;
    const uint8_t tooShort[] = {1, 0, 0, 0, 2, 0, 0, 0, 0};
    EXPECT_FALSE(decodeFavorite(tooShort, sizeof tooShort, back));
    std::vector<uint8_t> unterminated(kRecordBufferSize, 'x');
    EXPECT_FALSE(decodeFavorite(unterminated.data(), unterminated.size(), back));
    // A name longer than the field is cut, not copied past it.
    std::vector<uint8_t> longName(8, 0);
    longName.insert(longName.end(), 400, 'n');
    longName.push_back(0);
    longName.push_back(0);
    ASSERT_TRUE(decodeFavorite(longName.data(), longName.size(), back));
    EXPECT_EQ(std::strlen(back.palette), 255u);
    EXPECT_EQ(back.display, 0);
}

TEST(FavoriteRecords, SignedLowBytesAreRead) {
    const uint8_t stored[] = {0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x01, 0, 0, 0, 0, 0xFE, 0, 0, 0};
    FavoriteFields back;
    ASSERT_TRUE(decodeFavorite(stored, sizeof stored, back));
    EXPECT_EQ(back.wave, -1);
    EXPECT_EQ(back.flame, 16); // 0x110: only the low byte counts
    EXPECT_EQ(back.display, -2);
}

TEST(ForbiddenRecords, RoundTripWithWildcards) {
    uint8_t out[12];
    ASSERT_EQ(encodeForbidden({-1, 4, 1}, out, sizeof out), 12u);
    const std::vector<uint8_t> bytes(out, out + 12);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0, 1, 0, 0, 0}));
    ForbiddenFields back;
    ASSERT_TRUE(decodeForbidden(out, 12, back));
    EXPECT_EQ(back.wave, -1);
    EXPECT_EQ(back.flame, 4);
    EXPECT_EQ(back.display, 1);
    EXPECT_FALSE(decodeForbidden(out, 11, back));
}

TEST(ValueNames, NumberAfterTheFirstUnderscore) {
    EXPECT_EQ(valueNumber("Favorite_12"), 12u);
    EXPECT_EQ(valueNumber("Forbiden_3_7"), 3u);
    EXPECT_EQ(valueNumber("Favorite_x"), 0u);
    EXPECT_EQ(valueNumber("NoNumber"), 0u);
    EXPECT_EQ(valueNumber("Favorite_4294967295"), 4294967295u);
    EXPECT_EQ(valueNumber("Favorite_4294967297"), 4294967295u) << "must not wrap onto 1";
    EXPECT_EQ(valueNumber("Favorite_99999999999999999999"), 4294967295u);
}
