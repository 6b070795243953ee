#include "frame/ddraw_errors.h"

#include <cstring>

// Codes: the first five errors share the general system results (not implemented,
// unspecified failure, not initialised, out of memory, invalid argument); the others are
// 0x88760000 (severity 1, facility 0x876) plus their DirectDraw number.
const DirectDrawErrorRow directDrawErrorTable[kDirectDrawErrorRowCount] = {
    {0x00000000u, "OK!!!"},
    {0x80004001u, "DDERR_UNSUPPORTED\t\t\t"},
    {0x80004005u, "DDERR_GENERIC\t\t\t\t"},
    {0x800401F0u, "DDERR_NOTINITIALIZED                    "},
    {0x8007000Eu, "DDERR_OUTOFMEMORY\t\t\t"},
    {0x80070057u, "DDERR_INVALIDPARAMS\t\t\t"},
    {0x88760005u, "DDERR_ALREADYINITIALIZED"},
    {0x8876000Au, "DDERR_CANNOTATTACHSURFACE"},
    {0x88760014u, "DDERR_CANNOTDETACHSURFACE"},
    {0x88760028u, "DDERR_CURRENTLYNOTAVAIL"},
    {0x88760037u, "DDERR_EXCEPTION"},
    {0x8876005Au, "DDERR_HEIGHTALIGN\t\t\t"},
    {0x8876005Fu, "DDERR_INCOMPATIBLEPRIMARY\t\t"},
    {0x88760064u, "DDERR_INVALIDCAPS\t\t\t"},
    {0x8876006Eu, "DDERR_INVALIDCLIPLIST\t\t\t"},
    {0x88760078u, "DDERR_INVALIDMODE\t\t\t"},
    {0x88760082u, "DDERR_INVALIDOBJECT\t\t\t"},
    {0x88760091u, "DDERR_INVALIDPIXELFORMAT\t\t"},
    {0x88760096u, "DDERR_INVALIDRECT\t\t\t"},
    {0x887600A0u, "DDERR_LOCKEDSURFACES\t\t\t"},
    {0x887600AAu, "DDERR_NO3D\t\t\t\t"},
    {0x887600B4u, "DDERR_NOALPHAHW\t\t\t\t"},
    {0x887600CDu, "DDERR_NOCLIPLIST\t\t\t"},
    {0x887600D2u, "DDERR_NOCOLORCONVHW\t\t\t"},
    {0x887600D4u, "DDERR_NOCOOPERATIVELEVELSET\t\t"},
    {0x887600D7u, "DDERR_NOCOLORKEY\t\t\t"},
    {0x887600DCu, "DDERR_NOCOLORKEYHW\t\t\t"},
    {0x887600DEu, "DDERR_NODIRECTDRAWSUPPORT\t\t"},
    {0x887600E1u, "DDERR_NOEXCLUSIVEMODE\t\t\t"},
    {0x887600E6u, "DDERR_NOFLIPHW\t\t\t\t"},
    {0x887600F0u, "DDERR_NOGDI\t\t\t\t"},
    {0x887600FAu, "DDERR_NOMIRRORHW\t\t\t"},
    {0x887600FFu, "DDERR_NOTFOUND\t\t\t\t"},
    {0x88760104u, "DDERR_NOOVERLAYHW\t\t\t"},
    {0x88760118u, "DDERR_NORASTEROPHW\t\t\t"},
    {0x88760122u, "DDERR_NOROTATIONHW\t\t\t"},
    {0x88760136u, "DDERR_NOSTRETCHHW\t\t\t"},
    {0x8876013Cu, "DDERR_NOT4BITCOLOR\t\t\t"},
    {0x8876013Du, "DDERR_NOT4BITCOLORINDEX\t\t\t"},
    {0x88760140u, "DDERR_NOT8BITCOLOR\t\t\t"},
    {0x8876014Au, "DDERR_NOTEXTUREHW\t\t\t"},
    {0x8876014Fu, "DDERR_NOVSYNCHW\t\t\t\t"},
    {0x88760154u, "DDERR_NOZBUFFERHW\t\t\t"},
    {0x8876015Eu, "DDERR_NOZOVERLAYHW\t\t\t"},
    {0x88760168u, "DDERR_OUTOFCAPS\t\t\t\t"},
    {0x8876017Cu, "DDERR_OUTOFVIDEOMEMORY\t\t\t"},
    {0x8876017Eu, "DDERR_OVERLAYCANTCLIP\t\t\t"},
    {0x88760180u, "DDERR_OVERLAYCOLORKEYONLYONEACTIVE\t"},
    {0x88760183u, "DDERR_PALETTEBUSY\t\t\t"},
    {0x88760190u, "DDERR_COLORKEYNOTSET\t\t\t"},
    {0x8876019Au, "DDERR_SURFACEALREADYATTACHED\t\t"},
    {0x887601A4u, "DDERR_SURFACEALREADYDEPENDENT\t\t"},
    {0x887601AEu, "DDERR_SURFACEBUSY\t\t\t"},
    {0x887601B3u, "DDERR_CANTLOCKSURFACE                   "},
    {0x887601B8u, "DDERR_SURFACEISOBSCURED\t\t\t"},
    {0x887601C2u, "DDERR_SURFACELOST\t\t\t"},
    {0x887601CCu, "DDERR_SURFACENOTATTACHED\t\t"},
    {0x887601D6u, "DDERR_TOOBIGHEIGHT\t\t\t"},
    {0x887601E0u, "DDERR_TOOBIGSIZE\t\t\t"},
    {0x887601EAu, "DDERR_TOOBIGWIDTH\t\t\t"},
    {0x887601FEu, "DDERR_UNSUPPORTEDFORMAT\t\t\t"},
    {0x88760208u, "DDERR_UNSUPPORTEDMASK\t\t\t"},
    {0x88760219u, "DDERR_VERTICALBLANKINPROGRESS\t\t"},
    {0x8876021Cu, "DDERR_WASSTILLDRAWING\t\t\t"},
    {0x88760231u, "DDERR_INVALIDDIRECTDRAWGUID\t\t"},
    {0x88760232u, "DDERR_DIRECTDRAWALREADYCREATED\t\t"},
    {0x88760233u, "DDERR_NODIRECTDRAWHW\t\t\t"},
    {0x88760234u, "DDERR_PRIMARYSURFACEALREADYEXISTS\t"},
    {0x88760235u, "DDERR_NOEMULATION\t\t\t"},
    {0x88760236u, "DDERR_REGIONTOOSMALL\t\t\t"},
    {0x88760237u, "DDERR_CLIPPERISUSINGHWND\t\t"},
    {0x88760238u, "DDERR_NOCLIPPERATTACHED\t\t\t"},
    {0x88760239u, "DDERR_NOHWND\t\t\t\t"},
    {0x8876023Au, "DDERR_HWNDSUBCLASSED\t\t\t"},
    {0x8876023Bu, "DDERR_HWNDALREADYSET\t\t\t"},
    {0x8876023Cu, "DDERR_NOPALETTEATTACHED\t\t\t"},
    {0x8876023Du, "DDERR_NOPALETTEHW\t\t\t"},
    {0x8876023Eu, "DDERR_BLTFASTCANTCLIP\t\t\t"},
    {0x8876023Fu, "DDERR_NOBLTHW\t\t\t\t"},
    {0x88760240u, "DDERR_NODDROPSHW\t\t\t"},
    {0x88760241u, "DDERR_OVERLAYNOTVISIBLE\t\t\t"},
    {0x88760242u, "DDERR_NOOVERLAYDEST\t\t\t"},
    {0x88760243u, "DDERR_INVALIDPOSITION\t\t\t"},
    {0x88760244u, "DDERR_NOTAOVERLAYSURFACE\t\t"},
    {0x88760245u, "DDERR_EXCLUSIVEMODEALREADYSET\t\t"},
    {0x88760246u, "DDERR_NOTFLIPPABLE\t\t\t"},
    {0x88760247u, "DDERR_CANTDUPLICATE\t\t\t"},
    {0x88760248u, "DDERR_NOTLOCKED\t\t\t\t"},
    {0x88760249u, "DDERR_CANTCREATEDC\t\t\t"},
    {0x8876024Au, "DDERR_NODC\t\t\t\t"},
    {0x8876024Bu, "DDERR_WRONGMODE\t\t\t\t"},
    {0x8876024Cu, "DDERR_IMPLICITLYCREATED\t\t\t"},
    {0x8876024Du, "DDERR_NOTPALETTIZED\t\t\t"},
    {0x8876024Eu, "DDERR_UNSUPPORTEDMODE\t\t\t"},
    {0x8876024Fu, "DDERR_NOMIPMAPHW\t\t\t"},
    {0x88760250u, "DDERR_INVALIDSURFACETYPE                "},
    {0x8876026Cu, "DDERR_DCALREADYCREATED\t\t\t"},
    {0x88760280u, "DDERR_CANTPAGELOCK\t\t\t"},
    {0x88760294u, "DDERR_CANTPAGEUNLOCK\t\t\t"},
    {0x887602A8u, "DDERR_NOTPAGELOCKED\t\t\t"},
};

const char* const kUnknownDirectDrawErrorText = "Unknown DirectDraw error";

const char* directDrawErrorString(long code) {
    const uint32_t key = static_cast<uint32_t>(static_cast<unsigned long>(code));
    // Rows are sorted by code: binary search.
    int low = 0, high = kDirectDrawErrorRowCount - 1;
    while (low <= high) {
        const int middle = (low + high) / 2;
        const uint32_t rowCode = directDrawErrorTable[middle].code;
        if (rowCode == key) return directDrawErrorTable[middle].text;
        if (rowCode < key)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return kUnknownDirectDrawErrorText;
}

char* DirectDrawErrorText(long code, char* buffer, size_t size) {
    if (!buffer || size == 0) return buffer;
    const char* text = directDrawErrorString(code);
    const size_t length = std::strlen(text);
    const size_t copied = length < size - 1 ? length : size - 1;
    std::memcpy(buffer, text, copied);
    buffer[copied] = '\0';
    return buffer;
}
