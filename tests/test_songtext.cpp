#include "frame_fixture.h"
#include "effects/objects.h"
#include "base/random.h"
#include "frame/songtext.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {
// The song-text part of a title, from a fresh copy (the title is cut in place).
std::string songText(const std::string& title) {
    std::vector<char> buffer(title.begin(), title.end());
    buffer.push_back('\0');
    char part[kSongTextSize];
    pickSongText(buffer.data(), part);
    return part;
}

std::string introText(const std::string& title) {
    std::vector<char> buffer(title.begin(), title.end());
    buffer.push_back('\0');
    char text[1024];
    buildIntroText(buffer.data(), text, sizeof text);
    return text;
}

std::vector<std::string> pieces(const std::string& title) {
    std::vector<char> buffer(title.begin(), title.end());
    buffer.push_back('\0');
    char* found[kMaxTitlePieces];
    const int count = splitTitle(buffer.data(), found);
    return std::vector<std::string>(found, found + count);
}

constexpr uint8_t kCanary = 0xA5;
constexpr size_t kCanaryBytes = 256;

bool canaryIntact(const std::vector<char>& buffer, size_t from) {
    for (size_t i = from; i < buffer.size(); ++i)
        if (static_cast<uint8_t>(buffer[i]) != kCanary) return false;
    return true;
}
} // namespace

TEST(SongText, TheUsualTitleGivesArtistOrSongAndTheIntroSpellsBoth) {
    const std::string title = "12. Artist - Song - Winamp";
    EXPECT_EQ(pieces(title), (std::vector<std::string>{"12", " Artist ", " Song ", " Winamp"}));
    randomSeed(7);
    std::set<std::string> seen;
    for (int draw = 0; draw < 200; ++draw) seen.insert(songText(title));
    EXPECT_EQ(seen, (std::set<std::string>{" Artist ", " Song "}));
    EXPECT_EQ(introText(title), "  Artist   Song ");
}

TEST(SongText, OneSeparatorGivesTheFirstPieceAsSongAndIntroText) {
    EXPECT_EQ(pieces("Winamp 2.1"), (std::vector<std::string>{"Winamp 2", "1"}));
    EXPECT_EQ(songText("Winamp 2.1"), "Winamp 2");
    EXPECT_EQ(introText("Winamp 2.1"), "Winamp 2");
    // No separator at all: the whole title.
    EXPECT_EQ(songText("Just a tune"), "Just a tune");
    EXPECT_EQ(introText("Just a tune"), "Just a tune");
}

TEST(SongText, ADotInANameIsASeparatorToo) {
    EXPECT_EQ(pieces("Mr. X"), (std::vector<std::string>{"Mr", " X"}));
    EXPECT_EQ(songText("Mr. X"), "Mr");
    const std::string title = "4. Mr. X - Tune - Winamp";
    EXPECT_EQ(introText(title), "  Mr  X   Tune ");
    std::set<std::string> seen;
    for (int draw = 0; draw < 300; ++draw) seen.insert(songText(title));
    EXPECT_EQ(seen, (std::set<std::string>{" Mr", " X ", " Tune "}));
}

TEST(SongText, AnEmptyTitleGivesEmptyTexts) {
    EXPECT_EQ(pieces(""), (std::vector<std::string>{""}));
    EXPECT_EQ(songText(""), "");
    EXPECT_EQ(introText(""), "");
    // Nothing but separators: empty pieces, and the intro is only the spaces between them.
    EXPECT_EQ(songText("-.-"), "");
    EXPECT_EQ(introText("-.-"), "  ");
}

TEST(SongText, ManySeparatorsAndALongPartStayInsideTheBuffers) {
    // 40 separators, and a 500-character part among the pieces the song text chooses from.
    std::string title = "1. " + std::string(500, 'a');
    for (int i = 0; i < 39; ++i) title += " - p" + std::to_string(i);
    std::vector<char> buffer(title.begin(), title.end());
    buffer.push_back('\0');
    // Slots past the last one the splitter may use hold a marker that must survive.
    char marker = 0;
    std::vector<char*> found(kMaxTitlePieces + 8, &marker);
    ASSERT_EQ(splitTitle(buffer.data(), found.data()), kMaxTitlePieces);
    for (int i = 0; i < kMaxTitlePieces; ++i) {
        ASSERT_GE(found[i], buffer.data());
        ASSERT_LT(found[i], buffer.data() + buffer.size());
    }
    for (size_t i = kMaxTitlePieces; i < found.size(); ++i) ASSERT_EQ(found[i], &marker);

    randomSeed(3);
    bool sawLong = false;
    for (int draw = 0; draw < 400; ++draw) {
        std::vector<char> copy(title.begin(), title.end());
        copy.push_back('\0');
        std::vector<char> part(kSongTextSize + kCanaryBytes, static_cast<char>(kCanary));
        pickSongText(copy.data(), part.data());
        ASSERT_TRUE(canaryIntact(part, kSongTextSize)) << "draw " << draw;
        const std::string text(part.data());
        ASSERT_LE(text.size(), static_cast<size_t>(kSongTextSize - 1));
        if (text == " " + std::string(126, 'a')) sawLong = true;
    }
    EXPECT_TRUE(sawLong); // the long part is cut to 127 characters

    // The intro text into the plug-in's 1024 bytes and into a small buffer.
    for (size_t size : {size_t(1024), size_t(16), size_t(1)}) {
        std::vector<char> copy(title.begin(), title.end());
        copy.push_back('\0');
        std::vector<char> text(size + kCanaryBytes, static_cast<char>(kCanary));
        buildIntroText(copy.data(), text.data(), size);
        EXPECT_TRUE(canaryIntact(text, size)) << size;
        EXPECT_LT(std::strlen(text.data()), size);
    }
    std::vector<char> copy(title.begin(), title.end());
    copy.push_back('\0');
    char text[1024];
    buildIntroText(copy.data(), text, sizeof text);
    EXPECT_EQ(std::string(text).substr(0, 503), "  " + std::string(500, 'a') + " ");
}

TEST(SongText, ATitleOfTheFullLengthFitsTheIntroText) {
    // The player hands over at most 1023 characters; every separator becomes at most a space.
    std::string title(1023, 'x');
    for (size_t i = 1; i < title.size(); i += 3) title[i] = i % 2 ? '-' : '.';
    std::vector<char> buffer(title.begin(), title.end());
    buffer.push_back('\0');
    std::vector<char> text(1024 + kCanaryBytes, static_cast<char>(kCanary));
    buildIntroText(buffer.data(), text.data(), 1024);
    EXPECT_TRUE(canaryIntact(text, 1024));
    EXPECT_LT(std::strlen(text.data()), 1024u);
}

// The intro with letter objects in the host folder: objects for 'A' (one segment) and 'd' (two
// segments) only, for the intro text "  Ab   Cd ".
class SongTextIntro : public FrameLoopTest {
  protected:
    // A folder per test: ctest runs tests side by side.
    HostFolder folder{std::string("songintro-") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name()};

    void SetUp() override {
        FrameLoopTest::SetUp();
        const std::string objs = folder.sub("objs");
        write(objs + "A.obj", "# one segment\n0,0,0 - 4,4,0\n");
        write(objs + "d.obj", "0,0,0 - 3,0,0\n0,0,0 - 0,3,2\n");
        freeLetterObject();
        settings.Show_3D_song_intro = 1;
        platform.title = "3. Ab - Cd - Winamp";
        platform.position = 2000;
        platform.ticks = 1000;
        plugin.currentWave = 3;
        randomSeed(1);
    }
    void TearDown() override {
        freeLetterObject();
        FrameLoopTest::TearDown();
    }
    static void write(const std::string& path, const char* text) {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        std::fclose(f);
    }
    // The next intro step: a frame more than the interval (8 * 8 + 492 ms) after the last.
    void step() {
        platform.ticks += 557;
        frame();
    }
};

TEST_F(SongTextIntro, LoadsOneLetterObjectPerStepAndShowsTheObjectsWave) {
    frame();
    EXPECT_TRUE(plugin.introActive);
    EXPECT_STREQ(plugin.introText, "  Ab   Cd ");
    EXPECT_EQ(plugin.introPosition, 2); // the spaces before 'A' are skipped
    EXPECT_EQ(currentObjectSegments(), 1);
    EXPECT_EQ(plugin.currentWave, 18);

    // Frames within the interval do not advance the intro.
    platform.ticks += 556;
    frame();
    EXPECT_EQ(plugin.introPosition, 2);

    platform.ticks += 1;
    frame();
    EXPECT_EQ(plugin.introPosition, 8); // 'b', the spaces and 'C' have no object
    EXPECT_EQ(currentObjectSegments(), 2);
    EXPECT_EQ(plugin.currentWave, 18);

    // The rest of the text has no object: used up, and the effect changes.
    step();
    EXPECT_EQ(plugin.introPosition, 0);
    EXPECT_TRUE(plugin.introActive);

    // Still in the first ten seconds: the letters start again.
    step();
    EXPECT_EQ(plugin.introPosition, 2);
    EXPECT_EQ(currentObjectSegments(), 1);
}

TEST_F(SongTextIntro, EachLetterForcesABeatThatShowsTheSongText) {
    settings.Show_ID3 = 1;
    settings.Frequency_Id3_Change = 50;
    settings.Frequency_Pic_Show = 50;
    frame();
    step();
    EXPECT_EQ(platform.songTexts, 2);
    EXPECT_EQ(plugin.pictureCountdown, 48); // the intro's beats count for pictures too
}

TEST_F(SongTextIntro, StopsOnceThePositionPassesTenSeconds) {
    frame();
    ASSERT_EQ(plugin.introPosition, 2);
    // Past ten seconds the letters of the text still run to its end...
    platform.position = 10000;
    step();
    EXPECT_EQ(plugin.introPosition, 8);
    step();
    EXPECT_EQ(plugin.introPosition, 0);
    // ...and then, unless the random change picked the "Objects" wave again, the intro ends.
    plugin.currentWave = 5;
    step();
    EXPECT_FALSE(plugin.introActive);
    EXPECT_EQ(plugin.introPosition, 0);
    const int segments = currentObjectSegments();
    for (int i = 0; i < 5; ++i) {
        plugin.currentWave = 5; // a random change may have chosen "Objects", which restarts it
        step();
    }
    EXPECT_FALSE(plugin.introActive);
    EXPECT_EQ(currentObjectSegments(), segments); // no further letters
}

TEST_F(SongTextIntro, DoesNotStartAfterTheFirstTenSeconds) {
    platform.position = 10000;
    frame();
    step();
    EXPECT_FALSE(plugin.introActive);
    EXPECT_EQ(plugin.currentWave, 3);
    EXPECT_EQ(currentObjectSegments(), 0);
}
