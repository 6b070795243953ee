#include "base/errorlog.h"
#include "fault_injection.h"
#include "base/guard.h"
#include "base/instance.h"
#include "base/settings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {
class ErrorLogTest : public ::testing::Test {
  protected:
    std::string path;
    void SetUp() override {
        path = std::string(QUORBEL_BINARY_DIR) + "/errorlog_test-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
        std::remove(path.c_str());
        setLogPath(path.c_str());
        resetLogStatus();
        settings = Settings();
        plugin.errorCount = 0;
    }
    void TearDown() override {
        std::remove(path.c_str());
        setLogPath("c:\\quorbel_errors.log");
    }
    std::vector<std::string> lines() const {
        std::ifstream in(path);
        std::vector<std::string> out;
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
};
} // namespace

TEST(ErrorLogHeader, ShowsTheLocalDateAndTimeWithoutLeadingZeros) {
    char header[128];
    formatLogHeader(header, sizeof header, 8, 12, 2026, 6, 35, 4);
    EXPECT_STREQ(header, "--------- Quorbel-4-Winamp 1.50 ------- 8.12.2026. 6:35:4------\n");
}

TEST_F(ErrorLogTest, LineBreaksBecomeSpacesAndEachCallIsOneLine) {
    LogWriter("a\rb\nc");
    char header[128];
    formatLogHeader(header, sizeof header, 1, 2, 2027, 13, 5, 59);
    LogWriter("%s", header);
    writeLogFooter();
    EXPECT_EQ(lines(),
              (std::vector<std::string>{
                  "a b c", "--------- Quorbel-4-Winamp 1.50 ------- 1.2.2027. 13:5:59------ ",
                  "--------- End ------------------------"}));
    EXPECT_TRUE(logLineWritten());
}

TEST_F(ErrorLogTest, AnOverlongTextIsCutToTheLineBuffer) {
    const std::string huge(5000, 'x');
    LogWriter("%s", huge.c_str());
    const auto written = lines();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], std::string(kLogLineSize - 1, 'x'));
}

TEST_F(ErrorLogTest, AReportWritesFourLinesWithItsOwnCode) {
    settings.Log_Errors_To_File = 1;
    guarded("palettes", 77, [] { causeAccessViolation(); });
    EXPECT_EQ(plugin.errorCount, 1);
    EXPECT_EQ(lines(), (std::vector<std::string>{"Win32 Exception thrown:", "\t FILE: palettes",
                                                 "\t LINE #77",
                                                 exceptionDescription(kExceptionAccessViolation)}));
}

TEST_F(ErrorLogTest, NothingIsWrittenWhenLoggingIsOff) {
    settings.Log_Errors_To_File = 0;
    guarded("pics", 1, [] { causeAccessViolation(); });
    EXPECT_EQ(plugin.errorCount, 1);
    EXPECT_TRUE(lines().empty());
    EXPECT_FALSE(logLineWritten());
}

TEST_F(ErrorLogTest, AnUnwritableLogIsDroppedSilentlyAndRemembered) {
    setLogPath((path + "/no/such/folder.log").c_str());
    LogWriter("lost");
    EXPECT_FALSE(logLineWritten());
    EXPECT_EQ(plugin.errorCount, 0);
}

TEST(ErrorDescriptions, KnownAndUnknownCodes) {
    EXPECT_STREQ(exceptionDescription(0xC0000094),
                 "\t EXCEPTION_INT_DIVIDE_BY_ZERO:  The thread attempted to divide an integer "
                 "value by an integer divisor of zero.");
    EXPECT_STREQ(exceptionDescription(0xC00000FD),
                 "\t EXCEPTION_STACK_OVERFLOW:  The thread used up its stack.");
    EXPECT_STREQ(exceptionDescription(0x12345678), "\t Unknown Win32 Exception Code");
}

TEST(ErrorSummary, TellsTheLogFileOnlyWhenLinesReachedIt) {
    char text[512];
    formatErrorSummary(text, sizeof text, 3, true);
    EXPECT_EQ(std::string(text).rfind("There were 3 errors logged to file "
                                      "'c:\\quorbel_errors.log'\nPlease send this file via email "
                                      "to author [",
                                      0),
              0u);
    formatErrorSummary(text, sizeof text, 1, false);
    EXPECT_STREQ(text, "There were 1 errors detected and intercepted.\nYou can enable/disable "
                       "error logging in Configure->General tab.\nYou can also disable this error "
                       "warning on the same place.");
}
