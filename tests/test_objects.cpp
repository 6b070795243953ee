#include "effects_support.h"
#include "effects/objects.h"
#include "base/paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace {

// A host folder of our own with an objs folder to write letter files into.
class LetterFolder {
  public:
    LetterFolder() {
        // One folder per test: ctest runs the tests side by side.
        host = std::string(QUORBEL_BINARY_DIR) + "/letter_objects_test-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
        ::mkdir(host.c_str(), 0755);
        ::mkdir((host + "objs").c_str(), 0755);
        setHostDirectory(host);
    }
    ~LetterFolder() { setHostDirectory(""); }
    void write(const std::string& name, const std::string& text) {
        std::FILE* f = std::fopen((host + "objs/" + name).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    void remove(const std::string& name) { std::remove((host + "objs/" + name).c_str()); }
    std::string host;
};

std::vector<ObjectSegment> segments() {
    std::vector<ObjectSegment> v;
    for (const ObjectSegment* s = currentObject; s && s->x1 != -1; ++s) v.push_back(*s);
    return v;
}

bool operator==(const ObjectSegment& a, const ObjectSegment& b) {
    return a.x1 == b.x1 && a.y1 == b.y1 && a.z1 == b.z1 && a.x2 == b.x2 && a.y2 == b.y2 &&
           a.z2 == b.z2;
}

} // namespace

TEST(LetterObjects, OneSegmentIsShiftedToTheOrigin) {
    TestFrame frame(640, 480);
    LetterFolder folder;
    folder.write("Q.obj", "10,10,0 - 20,30,0\n");
    ASSERT_TRUE(loadLetterObject('Q'));
    ASSERT_EQ(segments().size(), 1u);
    EXPECT_TRUE((segments()[0] == ObjectSegment{0, 0, 0, 10, 20, 0}));
    const ObjectSegment& end = currentObject[1];
    EXPECT_TRUE((end == ObjectSegment{-1, -1, -1, -1, -1, -1}));
    // D = 21: K = 0.9 * 480 / 21; in silence f = 224 / 48 * K; the first end point, at angle 4
    // degrees, lands at trunc(X f / (Z + D) + 315).
    plugin.sampleBias = 0x80;
    const std::vector<uint8_t> silence = constantAudio(0);
    waveObjects(frame.frame(), silence.data());
    const double a = 0.0698131700797732, k = 0.9 * 480 / 21.0, f = 224 * k * 0.020833333333333332;
    const double x = -5 * std::cos(a), z = 5 * std::sin(a);
    const int sx = static_cast<int>(x * f / (z + 21) + 315);
    const int sy = static_cast<int>(-10 * f / (z + 21) + 230);
    EXPECT_EQ(frame.at(sx, sy), 255);
    EXPECT_EQ(frame.at(sx + 1, sy + 1), 255);
    EXPECT_EQ(frame.at(sx - 1, sy - 1), 255);
}

TEST(LetterObjects, CommentsAndLinesThatAreNotSegmentsAreSkipped) {
    TestFrame frame(320, 200);
    LetterFolder folder;
    folder.write("Q.obj", "# a letter\n"
                          "1,2,3-4,5,6\n"
                          "\n"
                          "not a segment\n"
                          "  -1, 2,+3  -  -4,5,6\r\n"
                          "1 ,2,3 - 4,5,6\n" // the comma must follow its number
                          "# 9,9,9 - 9,9,9\n"
                          "7,8,9 - 1,2,3 and more");
    ASSERT_TRUE(loadLetterObject('Q'));
    const std::vector<ObjectSegment> s = segments();
    ASSERT_EQ(s.size(), 3u);
    // Minima: x -4, y 2, z 3.
    EXPECT_TRUE((s[0] == ObjectSegment{5, 0, 0, 8, 3, 3}));
    EXPECT_TRUE((s[1] == ObjectSegment{3, 0, 0, 0, 3, 3}));
    EXPECT_TRUE((s[2] == ObjectSegment{11, 6, 6, 5, 0, 0}));
}

TEST(LetterObjects, AFirstLineThatIsNeitherCommentNorSegmentRejectsTheFile) {
    TestFrame frame(320, 200);
    LetterFolder folder;
    folder.write("A.obj", "0,0,0 - 1,1,1\n");
    ASSERT_TRUE(loadLetterObject('A'));
    const ObjectSegment* before = currentObject;
    folder.write("B.obj", "\n0,0,0 - 5,5,5\n");
    EXPECT_FALSE(loadLetterObject('B'));
    folder.write("C.obj", "C\n0,0,0 - 5,5,5\n");
    EXPECT_FALSE(loadLetterObject('C'));
    folder.write("D.obj", "");
    EXPECT_FALSE(loadLetterObject('D'));
    folder.remove("E.obj");
    EXPECT_FALSE(loadLetterObject('E'));
    EXPECT_EQ(currentObject, before); // the last letter that loaded stays
    EXPECT_EQ(segments().size(), 1u);
}

TEST(LetterObjects, OnlyCommentsGiveAnEmptyObjectThatDrawsNothing) {
    TestFrame frame(320, 200);
    LetterFolder folder;
    folder.write("Q.obj", "# nothing here\n");
    ASSERT_TRUE(loadLetterObject('Q'));
    EXPECT_EQ(currentObjectSegments(), 0);
    const std::vector<uint8_t> silence = constantAudio(0);
    plugin.currentWave = 18;
    waveObjects(frame.frame(), silence.data());
    EXPECT_EQ(frame.lit(), 0);
    EXPECT_EQ(plugin.currentWave, 18);
    EXPECT_DOUBLE_EQ(objectAngle, 0.0698131700797732);
}

TEST(LetterObjects, LongLinesAndHugeNumbersStayOneLine) {
    TestFrame frame(320, 200);
    LetterFolder folder;
    folder.write("Q.obj", "1,1,1 - 2,2,2 " + std::string(400, 'x') + "3,3,3 - 4,4,4\n" +
                              "1,1,1 - 3000000000,2,2\n" + "0,0,0 - 2,2,2\n");
    ASSERT_TRUE(loadLetterObject('Q'));
    ASSERT_EQ(segments().size(), 2u);
    EXPECT_TRUE((segments()[1] == ObjectSegment{0, 0, 0, 2, 2, 2}));
}

TEST(LetterObjects, ObjectsWaveHandsOverToDotHorWithoutAnObject) {
    TestFrame frame(320, 200);
    freeLetterObject();
    plugin.currentWave = 18;
    const std::vector<uint8_t> silence = constantAudio(0);
    waveObjects(frame.frame(), silence.data());
    EXPECT_EQ(plugin.currentWave, 0);
    EXPECT_EQ(frame.lit(), 0);
    EXPECT_EQ(objectAngle, 0.0);
}

TEST(LetterObjects, MoreSegmentsThanPixelsAcrossStillDraw) {
    TestFrame frame(160, 120);
    LetterFolder folder;
    std::string text;
    for (int i = 0; i < 700; ++i)
        text += std::to_string(i % 37) + ",0,0 - " + std::to_string(i % 37) + ",20,3\n";
    folder.write("Q.obj", text);
    ASSERT_TRUE(loadLetterObject('Q'));
    EXPECT_EQ(currentObjectSegments(), 700);
    std::vector<uint8_t> audio = alternatingAudio(0, 200);
    waveObjects(frame.frame(), audio.data());
    EXPECT_GT(frame.lit(), 0);
}

TEST(LetterObjects, NamesCoverBothCasesReservedCharactersAndAccents) {
    EXPECT_EQ(letterObjectNames('a'), (std::vector<std::string>{"a.obj", "A.obj"}));
    EXPECT_EQ(letterObjectNames('Z'), (std::vector<std::string>{"Z.obj", "z.obj"}));
    EXPECT_EQ(letterObjectNames('7'), (std::vector<std::string>{"7.obj"}));
    EXPECT_EQ(letterObjectNames('?'), (std::vector<std::string>{"question.obj"}));
    EXPECT_EQ(letterObjectNames('/'), (std::vector<std::string>{"slash.obj"}));
    EXPECT_EQ(letterObjectNames('\0'), (std::vector<std::string>{}));
    EXPECT_EQ(letterObjectNames('\n'), (std::vector<std::string>{}));
    EXPECT_EQ(letterObjectNames('\xE9'), (std::vector<std::string>{"\xE9.obj", "e.obj", "E.obj"}));
    EXPECT_EQ(letterObjectNames('\xD7'), (std::vector<std::string>{"\xD7.obj"})); // times sign
}

TEST(LetterObjects, SmallLettersFindTheCapitalFileAndTheirOwnFirst) {
    TestFrame frame(320, 200);
    LetterFolder folder;
    folder.remove("g.obj");
    folder.write("G.obj", "0,0,0 - 1,1,1\n");
    ASSERT_TRUE(loadLetterObject('g'));
    EXPECT_EQ(segments().size(), 1u);
    folder.write("g.obj", "0,0,0 - 1,1,1\n0,0,0 - 2,2,2\n");
    ASSERT_TRUE(loadLetterObject('g'));
    EXPECT_EQ(segments().size(), 2u);
    folder.remove("g.obj");
}

TEST(LetterObjects, OurSetHasAnObjectForEveryPrintableCharacter) {
    TestFrame frame(160, 120);
    setHostDirectory(std::string(QUORBEL_SOURCE_DIR) + "/data/");
    EXPECT_FALSE(loadLetterObject(' '));
    EXPECT_FALSE(loadLetterObject('\0'));
    const std::vector<uint8_t> audio = alternatingAudio(0x60, 0xA0);
    for (int c = 33; c < 127; ++c) {
        ASSERT_TRUE(loadLetterObject(static_cast<char>(c))) << static_cast<char>(c);
        const std::vector<ObjectSegment> s = segments();
        // At the smallest width every segment still gets a sample of its own.
        EXPECT_GT(s.size(), 0u) << static_cast<char>(c);
        EXPECT_LE(s.size(), 160u) << static_cast<char>(c);
        int front = 0, back = 0, depth = 0;
        for (const ObjectSegment& g : s) {
            front += g.z1 == 0 && g.z2 == 0;
            back += g.z1 > 0 && g.z2 > 0;
            depth += g.z1 != g.z2;
        }
        EXPECT_EQ(front, back) << static_cast<char>(c);
        EXPECT_GE(depth, 3) << static_cast<char>(c);
        std::fill(frame.current.begin(), frame.current.end(), 0);
        waveObjects(frame.frame(), audio.data());
        EXPECT_GT(frame.lit(), 20) << static_cast<char>(c);
    }
    EXPECT_TRUE(loadLetterObject('\xC9')); // E acute finds E
    setHostDirectory("");
}
