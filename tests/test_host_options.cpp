// The host's command line, key names and event-line quoting.
#include "options.h"

#include <gtest/gtest.h>

namespace {

HostOptions parse(std::vector<std::string> args) {
    HostOptions o;
    std::string error;
    EXPECT_TRUE(parseHostOptions(args, o, error)) << error;
    return o;
}

std::string parseFails(std::vector<std::string> args) {
    HostOptions o;
    std::string error;
    EXPECT_FALSE(parseHostOptions(args, o, error));
    return error;
}

} // namespace

TEST(HostOptions, DefaultsAreAPlayerAtFortyFramesASecond) {
    HostOptions o = parse({"Plugins\\vis_quorbel.dll"});
    ASSERT_EQ(o.plugins.size(), 1u);
    EXPECT_EQ(o.title, "1. Artist - Title - Winamp");
    EXPECT_EQ(o.fps, 40);
    EXPECT_FALSE(o.fast);
    EXPECT_EQ(o.frames, 0);
    EXPECT_EQ(o.runs, 1);
    EXPECT_TRUE(o.wavFile.empty());
}

TEST(HostOptions, ScriptEntriesKeepTheirFramesAndOrder) {
    HostOptions o = parse({"--fast",
                           "--frames",
                           "30",
                           "--key",
                           "3:shift+W",
                           "--key",
                           "3:Ctrl+Shift+m",
                           "--key",
                           "4:f12",
                           "--set-title",
                           "5:2. A - B: C",
                           "--set-position",
                           "6:61000",
                           "--capture",
                           "7:shot 7.bmp",
                           "--dialog",
                           "Quorbel-4-MODPlug",
                           "OK",
                           "--dialog-optional",
                           "Errors*",
                           "#1",
                           "vis_x.dll"});
    ASSERT_EQ(o.keys.size(), 3u);
    EXPECT_EQ(o.keys[0].frame, 3);
    EXPECT_EQ(o.keys[0].virtualKey, 'W');
    EXPECT_TRUE(o.keys[0].shift);
    EXPECT_FALSE(o.keys[0].ctrl);
    EXPECT_EQ(o.keys[1].virtualKey, 'M');
    EXPECT_TRUE(o.keys[1].shift && o.keys[1].ctrl);
    EXPECT_EQ(o.keys[2].virtualKey, 0x7B);
    ASSERT_EQ(o.titles.size(), 1u);
    EXPECT_EQ(o.titles[0].text, "2. A - B: C"); // only the first colon separates
    EXPECT_EQ(o.positions[0].ms, 61000u);
    EXPECT_EQ(o.captures[0].file, "shot 7.bmp");
    ASSERT_EQ(o.dialogs.size(), 2u);
    EXPECT_FALSE(o.dialogs[0].optional);
    EXPECT_TRUE(o.dialogs[1].optional);
    EXPECT_EQ(o.dialogs[1].button, "#1");
}

TEST(HostOptions, RejectsBadCommandLines) {
    EXPECT_EQ(parseFails({}), "no plug-in named (host.exe --help for usage)");
    EXPECT_NE(parseFails({"quorbel.dll"}).find("vis_*.dll"), std::string::npos);
    EXPECT_EQ(parseFails({"--speed", "vis_a.dll"}), "unknown option: --speed");
    EXPECT_NE(parseFails({"--frames", "-1", "vis_a.dll"}).find("--frames"), std::string::npos);
    EXPECT_NE(parseFails({"--fps", "0", "vis_a.dll"}).find("--fps"), std::string::npos);
    EXPECT_NE(parseFails({"vis_a.dll", "--frames"}).find("needs a value"), std::string::npos);
    EXPECT_NE(parseFails({"--key", "0:W", "vis_a.dll"}).find("FRAME:KEY"), std::string::npos);
    EXPECT_NE(parseFails({"--key", "2:hyper+W", "vis_a.dll"}).find("unknown key"),
              std::string::npos);
    EXPECT_NE(parseFails({"--set-position", "2:soon", "vis_a.dll"}).find("FRAME:MS"),
              std::string::npos);
    EXPECT_NE(parseFails({"vis_a.dll", "--dialog", "Caption"}).find("two values"),
              std::string::npos);
    EXPECT_NE(parseFails({"--config", "--key", "1:W", "vis_a.dll"}).find("need a run"),
              std::string::npos);
    EXPECT_NE(parseFails({"--config", "--config-at", "5", "vis_a.dll"}).find("need a run"),
              std::string::npos);
    EXPECT_NE(parseFails({"--config-at", "0", "vis_a.dll"}).find("--config-at"), std::string::npos);
    EXPECT_EQ(parse({"--config-at", "5", "--config-at", "9", "vis_a.dll"}).configFrames,
              (std::vector<int>{5, 9}));
}

TEST(HostOptions, DisplayModeChangesTakeASizeAndAnOptionalDepth) {
    const HostOptions o =
        parse({"--display-mode", "30:800x600", "--display-mode", "60:1024x768x16", "vis_a.dll"});
    ASSERT_EQ(o.displayModes.size(), 2u);
    EXPECT_EQ(o.displayModes[0].frame, 30);
    EXPECT_EQ(o.displayModes[0].width, 800);
    EXPECT_EQ(o.displayModes[0].height, 600);
    EXPECT_EQ(o.displayModes[0].bits, 0);
    EXPECT_EQ(o.displayModes[1].bits, 16);
    EXPECT_FALSE(o.dpiUnaware);
    EXPECT_TRUE(parse({"--dpi-unaware", "vis_a.dll"}).dpiUnaware);
    for (const char* bad : {"0:800x600", "5:800", "5:800x", "5:x600", "5:800x600x12",
                            "5:800x600x16x2", "5:0x600", "5:99999x600", "5:800X600"})
        EXPECT_NE(parseFails({"--display-mode", bad, "vis_a.dll"}).find("--display-mode"),
                  std::string::npos)
            << bad;
    EXPECT_NE(
        parseFails({"--config", "--display-mode", "5:800x600", "vis_a.dll"}).find("need a run"),
        std::string::npos);
}

TEST(HostOptions, DialogStepsGoToTheNextDialogOfTheirCaptionInOrder) {
    HostOptions o = parse({"--dialog-step", "Sheet", "page=7",
                           "--dialog-step", "Ask",   "set=1064:2",
                           "--dialog-step", "Sheet", "press=Add forbidden",
                           "--dialog",      "Ask",   "OK",
                           "--dialog-step", "Sheet", "text=1009:MY OWN.MAP",
                           "--dialog",      "Sheet", "OK",
                           "--dialog-step", "Sheet", "set=1047:-1",
                           "--dialog-step", "Sheet", "show",
                           "--dialog",      "Sheet", "Cancel",
                           "vis_a.dll"});
    ASSERT_EQ(o.dialogs.size(), 3u);
    ASSERT_EQ(o.dialogs[0].steps.size(), 1u);
    EXPECT_EQ(o.dialogs[0].steps[0].kind, DialogStep::Kind::Set);
    EXPECT_EQ(o.dialogs[0].steps[0].id, 1064);
    EXPECT_EQ(o.dialogs[0].steps[0].value, 2);
    const auto& first = o.dialogs[1].steps;
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].kind, DialogStep::Kind::Page);
    EXPECT_EQ(first[0].value, 7);
    EXPECT_EQ(first[1].kind, DialogStep::Kind::Press);
    EXPECT_EQ(first[1].text, "Add forbidden");
    EXPECT_EQ(first[2].kind, DialogStep::Kind::Text);
    EXPECT_EQ(first[2].text, "MY OWN.MAP");
    EXPECT_EQ(first[2].source, "text=1009:MY OWN.MAP");
    const auto& second = o.dialogs[2].steps;
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].value, -1);
    EXPECT_EQ(second[1].kind, DialogStep::Kind::Show);
}

TEST(HostOptions, BadDialogStepsAreRefused) {
    for (const char* step : {"page=", "page=x", "set=1047", "set=x:1", "set=1047:", "text=:a",
                             "press=", "show=1", "click=1000", ""}) {
        DialogStep parsed;
        std::string error;
        EXPECT_FALSE(parseDialogStep(step, parsed, error)) << step;
    }
    EXPECT_NE(parseFails({"--dialog-step", "Sheet", "show", "--dialog", "Other", "OK", "vis_a.dll"})
                  .find("no --dialog with that caption"),
              std::string::npos);
    EXPECT_NE(
        parseFails({"--dialog-step", "Sheet", "page=-1", "--dialog", "Sheet", "OK", "vis_a.dll"})
            .find("page=N"),
        std::string::npos);
}

TEST(HostOptions, HelpStopsParsingAndNamesEveryOption) {
    HostOptions o;
    std::string error;
    ASSERT_TRUE(parseHostOptions({"--help", "--nonsense"}, o, error));
    EXPECT_TRUE(o.help);
    std::string usage = hostUsage();
    for (const char* option : {"--wav",
                               "--mute",
                               "--position",
                               "--frames",
                               "--fps",
                               "--fast",
                               "--runs",
                               "--config",
                               "--probe-module",
                               "--expect-init-fail",
                               "--quit-after-failed-init",
                               "--title",
                               "--key",
                               "--set-title",
                               "--set-position",
                               "--capture",
                               "--capture-from-screen",
                               "--display-mode",
                               "--dpi-unaware",
                               "--dialog",
                               "--dialog-optional",
                               "--dialog-step",
                               "--log",
                               "--help"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

TEST(HostKeys, NamesAndCodes) {
    EXPECT_EQ(virtualKeyFromName("a"), 'A');
    EXPECT_EQ(virtualKeyFromName("7"), '7');
    EXPECT_EQ(virtualKeyFromName("Escape"), 0x1B);
    EXPECT_EQ(virtualKeyFromName("space"), 0x20);
    EXPECT_EQ(virtualKeyFromName("F1"), 0x70);
    EXPECT_EQ(virtualKeyFromName("f24"), 0x87);
    EXPECT_EQ(virtualKeyFromName("left"), 0x25);
    EXPECT_EQ(virtualKeyFromName("0xBA"), 0xBA);
    EXPECT_EQ(virtualKeyFromName("vk112"), 112);
    EXPECT_EQ(virtualKeyFromName("f25"), -1);
    EXPECT_EQ(virtualKeyFromName("0x100"), -1);
    EXPECT_EQ(virtualKeyFromName("vk0"), -1);
    EXPECT_EQ(virtualKeyFromName("-"), -1);
    EXPECT_EQ(virtualKeyFromName(""), -1);
}

TEST(HostKeys, StandardScanCodesOfTheUsLayout) {
    EXPECT_EQ(standardScanCode('Q'), 0x10u);
    EXPECT_EQ(standardScanCode('W'), 0x11u);
    EXPECT_EQ(standardScanCode('M'), 0x32u);
    EXPECT_EQ(standardScanCode('Z'), 0x2Cu);
    EXPECT_EQ(standardScanCode('1'), 0x02u);
    EXPECT_EQ(standardScanCode('0'), 0x0Bu);
    EXPECT_EQ(standardScanCode(0x70), 0x3Bu); // F1
    EXPECT_EQ(standardScanCode(0x7B), 0x58u); // F12
    EXPECT_EQ(standardScanCode(0x65), 0x4Cu); // numpad 5
    EXPECT_EQ(standardScanCode(0x1B), 0x01u); // Escape
    EXPECT_EQ(standardScanCode(0xBA), 0u);    // layout-dependent: unknown
}

TEST(HostKeys, KeyDownLParamCarriesScanCodeAndExtendedBit) {
    EXPECT_EQ(keyDownLParam(0x11, false), 0x00110001u); // W
    EXPECT_EQ(keyDownLParam(0x4B, true), 0x014B0001u);  // left arrow
    EXPECT_TRUE(isExtendedKey(0x25));
    EXPECT_TRUE(isExtendedKey(0x2E));
    EXPECT_FALSE(isExtendedKey('W'));
    EXPECT_FALSE(isExtendedKey(0x70));
}

TEST(HostEvents, QuotedTextStaysOnePrintableLine) {
    EXPECT_EQ(quoteEventText("plain"), "\"plain\"");
    EXPECT_EQ(quoteEventText("a \"b\" \\ c"), "\"a \\\"b\\\" \\\\ c\"");
    EXPECT_EQ(quoteEventText("one\ntwo\r\tx"), "\"one\\ntwo\\r\\tx\"");
    EXPECT_EQ(quoteEventText(std::string("\x01\xE9", 2)), "\"\\x01\\xE9\"");
}

TEST(HostEvents, PluginNamesFollowThePlayers) {
    EXPECT_TRUE(isVisualisationPluginName("vis_quorbel.dll"));
    EXPECT_TRUE(isVisualisationPluginName("C:\\Winamp\\Plugins\\VIS_Quorbel.DLL"));
    EXPECT_TRUE(isVisualisationPluginName("build/Plugins/vis_probe.dll"));
    EXPECT_FALSE(isVisualisationPluginName("Plugins\\gbm.dll"));
    EXPECT_FALSE(isVisualisationPluginName("vis_/x.dll"));
    EXPECT_FALSE(isVisualisationPluginName("vis_.dll"));
    EXPECT_FALSE(isVisualisationPluginName("vis_quorbel.exe"));
}

// Scripts longer than a Windows command line come in argument files.
TEST(HostOptions, ArgumentFilesStandForTheirLinesInPlace) {
    const std::string name = std::string(QUORBEL_BINARY_DIR) + "/host_options_arguments.txt";
    std::FILE* file = std::fopen(name.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("--key\r\n5:shift+w\n--set-title\n900:3. - x - Winamp\n--set-title\n20:\n"
               "--title\n@kept",
               file);
    std::fclose(file);

    std::vector<std::string> out;
    std::string error;
    ASSERT_TRUE(expandArgumentFiles({"--fast", "@" + name, "vis_a.dll"}, out, error)) << error;
    const std::vector<std::string> expected = {
        "--fast",      "--key", "5:shift+w", "--set-title", "900:3. - x - Winamp",
        "--set-title", "20:",   "--title",   "@kept",       "vis_a.dll"};
    EXPECT_EQ(out, expected);
    HostOptions o;
    // A line is never expanded again: "@kept" is the title.
    ASSERT_TRUE(parseHostOptions(out, o, error)) << error;
    EXPECT_EQ(o.title, "@kept");
    ASSERT_EQ(o.keys.size(), 1u);
    EXPECT_EQ(o.keys[0].frame, 5);
    EXPECT_EQ(o.titles.size(), 2u);
    std::remove(name.c_str());

    // A lone "@" is an argument like any other.
    ASSERT_TRUE(expandArgumentFiles({"@"}, out, error));
    EXPECT_EQ(out, std::vector<std::string>{"@"});
    EXPECT_FALSE(expandArgumentFiles({"@" + name}, out, error));
    EXPECT_NE(error.find(name), std::string::npos);
}
