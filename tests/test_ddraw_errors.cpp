#include "frame/ddraw_errors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

// The DirectDraw errors the table names, in ascending order of code.
const char* const kExpectedNames[] = {
    "DDERR_UNSUPPORTED",
    "DDERR_GENERIC",
    "DDERR_NOTINITIALIZED",
    "DDERR_OUTOFMEMORY",
    "DDERR_INVALIDPARAMS",
    "DDERR_ALREADYINITIALIZED",
    "DDERR_CANNOTATTACHSURFACE",
    "DDERR_CANNOTDETACHSURFACE",
    "DDERR_CURRENTLYNOTAVAIL",
    "DDERR_EXCEPTION",
    "DDERR_HEIGHTALIGN",
    "DDERR_INCOMPATIBLEPRIMARY",
    "DDERR_INVALIDCAPS",
    "DDERR_INVALIDCLIPLIST",
    "DDERR_INVALIDMODE",
    "DDERR_INVALIDOBJECT",
    "DDERR_INVALIDPIXELFORMAT",
    "DDERR_INVALIDRECT",
    "DDERR_LOCKEDSURFACES",
    "DDERR_NO3D",
    "DDERR_NOALPHAHW",
    "DDERR_NOCLIPLIST",
    "DDERR_NOCOLORCONVHW",
    "DDERR_NOCOOPERATIVELEVELSET",
    "DDERR_NOCOLORKEY",
    "DDERR_NOCOLORKEYHW",
    "DDERR_NODIRECTDRAWSUPPORT",
    "DDERR_NOEXCLUSIVEMODE",
    "DDERR_NOFLIPHW",
    "DDERR_NOGDI",
    "DDERR_NOMIRRORHW",
    "DDERR_NOTFOUND",
    "DDERR_NOOVERLAYHW",
    "DDERR_NORASTEROPHW",
    "DDERR_NOROTATIONHW",
    "DDERR_NOSTRETCHHW",
    "DDERR_NOT4BITCOLOR",
    "DDERR_NOT4BITCOLORINDEX",
    "DDERR_NOT8BITCOLOR",
    "DDERR_NOTEXTUREHW",
    "DDERR_NOVSYNCHW",
    "DDERR_NOZBUFFERHW",
    "DDERR_NOZOVERLAYHW",
    "DDERR_OUTOFCAPS",
    "DDERR_OUTOFVIDEOMEMORY",
    "DDERR_OVERLAYCANTCLIP",
    "DDERR_OVERLAYCOLORKEYONLYONEACTIVE",
    "DDERR_PALETTEBUSY",
    "DDERR_COLORKEYNOTSET",
    "DDERR_SURFACEALREADYATTACHED",
    "DDERR_SURFACEALREADYDEPENDENT",
    "DDERR_SURFACEBUSY",
    "DDERR_CANTLOCKSURFACE",
    "DDERR_SURFACEISOBSCURED",
    "DDERR_SURFACELOST",
    "DDERR_SURFACENOTATTACHED",
    "DDERR_TOOBIGHEIGHT",
    "DDERR_TOOBIGSIZE",
    "DDERR_TOOBIGWIDTH",
    "DDERR_UNSUPPORTEDFORMAT",
    "DDERR_UNSUPPORTEDMASK",
    "DDERR_VERTICALBLANKINPROGRESS",
    "DDERR_WASSTILLDRAWING",
    "DDERR_INVALIDDIRECTDRAWGUID",
    "DDERR_DIRECTDRAWALREADYCREATED",
    "DDERR_NODIRECTDRAWHW",
    "DDERR_PRIMARYSURFACEALREADYEXISTS",
    "DDERR_NOEMULATION",
    "DDERR_REGIONTOOSMALL",
    "DDERR_CLIPPERISUSINGHWND",
    "DDERR_NOCLIPPERATTACHED",
    "DDERR_NOHWND",
    "DDERR_HWNDSUBCLASSED",
    "DDERR_HWNDALREADYSET",
    "DDERR_NOPALETTEATTACHED",
    "DDERR_NOPALETTEHW",
    "DDERR_BLTFASTCANTCLIP",
    "DDERR_NOBLTHW",
    "DDERR_NODDROPSHW",
    "DDERR_OVERLAYNOTVISIBLE",
    "DDERR_NOOVERLAYDEST",
    "DDERR_INVALIDPOSITION",
    "DDERR_NOTAOVERLAYSURFACE",
    "DDERR_EXCLUSIVEMODEALREADYSET",
    "DDERR_NOTFLIPPABLE",
    "DDERR_CANTDUPLICATE",
    "DDERR_NOTLOCKED",
    "DDERR_CANTCREATEDC",
    "DDERR_NODC",
    "DDERR_WRONGMODE",
    "DDERR_IMPLICITLYCREATED",
    "DDERR_NOTPALETTIZED",
    "DDERR_UNSUPPORTEDMODE",
    "DDERR_NOMIPMAPHW",
    "DDERR_INVALIDSURFACETYPE",
    "DDERR_DCALREADYCREATED",
    "DDERR_CANTPAGELOCK",
    "DDERR_CANTPAGEUNLOCK",
    "DDERR_NOTPAGELOCKED",
};

const std::set<std::string> kSpacePadded = {"DDERR_NOTINITIALIZED", "DDERR_CANTLOCKSURFACE",
                                            "DDERR_INVALIDSURFACETYPE"};
const std::set<std::string> kUnpadded = {"DDERR_ALREADYINITIALIZED", "DDERR_CANNOTATTACHSURFACE",
                                         "DDERR_CANNOTDETACHSURFACE", "DDERR_CURRENTLYNOTAVAIL",
                                         "DDERR_EXCEPTION"};

std::string nameOf(const char* text) {
    return std::string(text, std::strcspn(text, " \t"));
}

// The column a text ends at when tabs stop every 8 columns.
int endColumn(const std::string& text) {
    int column = 0;
    for (char c : text) column = c == '\t' ? (column / 8 + 1) * 8 : column + 1;
    return column;
}

long asResult(uint32_t code) {
    return static_cast<long>(static_cast<int32_t>(code));
}

} // namespace

TEST(DirectDrawErrorTable, HoldsOkAndTheNamedErrorsInAscendingCodeOrder) {
    static_assert(sizeof kExpectedNames / sizeof kExpectedNames[0] == 99, "99 named rows");
    ASSERT_EQ(kDirectDrawErrorRowCount, 100);
    EXPECT_EQ(directDrawErrorTable[0].code, 0u);
    EXPECT_STREQ(directDrawErrorTable[0].text, "OK!!!");
    for (int i = 1; i < kDirectDrawErrorRowCount; ++i) {
        SCOPED_TRACE(kExpectedNames[i - 1]);
        EXPECT_EQ(nameOf(directDrawErrorTable[i].text), kExpectedNames[i - 1]);
        EXPECT_LT(directDrawErrorTable[i - 1].code, directDrawErrorTable[i].code);
    }
}

TEST(DirectDrawErrorTable, CodesAreTheDirectDrawHeaderValues) {
    struct Known {
        uint32_t code;
        const char* name;
    };
    const Known known[] = {
        {0x80004001u, "DDERR_UNSUPPORTED"},           {0x80004005u, "DDERR_GENERIC"},
        {0x800401F0u, "DDERR_NOTINITIALIZED"},        {0x8007000Eu, "DDERR_OUTOFMEMORY"},
        {0x80070057u, "DDERR_INVALIDPARAMS"},         {0x88760005u, "DDERR_ALREADYINITIALIZED"},
        {0x887601C2u, "DDERR_SURFACELOST"},           {0x8876021Cu, "DDERR_WASSTILLDRAWING"},
        {0x88760231u, "DDERR_INVALIDDIRECTDRAWGUID"}, {0x887600D4u, "DDERR_NOCOOPERATIVELEVELSET"},
        {0x88760250u, "DDERR_INVALIDSURFACETYPE"},    {0x887602A8u, "DDERR_NOTPAGELOCKED"},
    };
    for (const Known& k : known)
        EXPECT_EQ(nameOf(directDrawErrorString(asResult(k.code))), k.name) << std::hex << k.code;
}

TEST(DirectDrawErrorTable, NamesArePaddedToColumnForty) {
    int spaces = 0, unpadded = 0, tabbed = 0;
    for (int i = 1; i < kDirectDrawErrorRowCount; ++i) {
        const std::string text = directDrawErrorTable[i].text;
        const std::string name = nameOf(text.c_str());
        const std::string padding = text.substr(name.size());
        SCOPED_TRACE(name);
        if (kUnpadded.count(name)) {
            EXPECT_EQ(padding, "");
            ++unpadded;
        } else if (kSpacePadded.count(name)) {
            EXPECT_EQ(padding, std::string(40 - name.size(), ' '));
            ++spaces;
        } else {
            // Only tabs, reaching column 40 and not one tab more than needed.
            EXPECT_EQ(padding.find_first_not_of('\t'), std::string::npos);
            EXPECT_FALSE(padding.empty());
            EXPECT_EQ(endColumn(text), 40);
            EXPECT_LT(endColumn(text.substr(0, text.size() - 1)), 40);
            ++tabbed;
        }
    }
    EXPECT_EQ(spaces, 3);
    EXPECT_EQ(unpadded, 5);
    EXPECT_EQ(tabbed, 91);
}

TEST(DirectDrawErrorText, CopiesTheRowTextOrTellsTheCodeIsUnknown) {
    char buffer[128];
    EXPECT_STREQ(DirectDrawErrorText(0, buffer, sizeof buffer), "OK!!!");
    EXPECT_STREQ(DirectDrawErrorText(asResult(0x88760005u), buffer, sizeof buffer),
                 "DDERR_ALREADYINITIALIZED");
    EXPECT_STREQ(DirectDrawErrorText(asResult(0x80004005u), buffer, sizeof buffer),
                 "DDERR_GENERIC\t\t\t\t");
    // Codes the table does not name: a later DirectDraw error, a success code, another facility.
    for (uint32_t code : {0x887600B5u, 0x00000001u, 0x80070005u, 0x887601C3u}) {
        EXPECT_STREQ(DirectDrawErrorText(asResult(code), buffer, sizeof buffer),
                     "Unknown DirectDraw error")
            << std::hex << code;
    }
}

TEST(DirectDrawErrorText, FindsTheRowWhetherOrNotTheCodeWasSignExtended) {
    // A 64-bit long may carry the HRESULT sign-extended or as its plain bit pattern.
    const long signExtended = static_cast<long>(static_cast<int32_t>(0x887601C2u));
    const long plain = static_cast<long>(0x887601C2ul & 0xFFFFFFFFul);
    EXPECT_STREQ(directDrawErrorString(signExtended), directDrawErrorString(plain));
    EXPECT_EQ(nameOf(directDrawErrorString(plain)), "DDERR_SURFACELOST");
}

TEST(DirectDrawErrorText, StaysInsideTheBuffer) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    DirectDrawErrorText(asResult(0x887601C2u), buffer, 6);
    EXPECT_STREQ(buffer, "DDERR");
    EXPECT_EQ(buffer[6], 'x');
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(DirectDrawErrorText(0, buffer, 0), buffer);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(DirectDrawErrorText(0, nullptr, 10), nullptr);
}
